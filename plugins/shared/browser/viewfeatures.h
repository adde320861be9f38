#pragma once

class QWebEngineView;

// What every view of the modules does alike, attached in one place: zoom, printing,
// find in page, full screen and the history keys. Each goes with the view.
namespace ViewFeatures {

void attach(QWebEngineView *view);

} // namespace ViewFeatures
