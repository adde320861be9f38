#pragma once

class QMenu;
class QWebEngineView;

// The context menu of a view that keeps one, in Chinese: copy, paste, select all,
// save link and reload, as they apply where the user clicked; nothing else.
namespace ViewContextMenu {

void install(QWebEngineView *view);

// The menu for the click the view's page reports now; the caller owns it.
QMenu *create(QWebEngineView *view);

} // namespace ViewContextMenu
