#include "viewcontextmenu.h"

#include "qtcompat.h"

#include <QAction>
#include <QMenu>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace ViewContextMenu {

QMenu *create(QWebEngineView *view)
{
    QWebEnginePage *page = view->page();
    const QtCompat::ContextMenuRequest data = QtCompat::lastContextMenuRequest(view);
    auto *menu = new QMenu(view);
    auto add = [&](QWebEnginePage::WebAction which, const QString &text) {
        QAction *action = page->action(which);
        action->setText(text);
        menu->addAction(action);
    };
    if (!data.selectedText.isEmpty())
        add(QWebEnginePage::Copy, QStringLiteral("复制"));
    if (data.isContentEditable)
        add(QWebEnginePage::Paste, QStringLiteral("粘贴"));
    add(QWebEnginePage::SelectAll, QStringLiteral("全选"));
    if (data.linkUrl.isValid())
        add(QWebEnginePage::DownloadLinkToDisk, QStringLiteral("链接另存为..."));
    menu->addSeparator();
    add(QWebEnginePage::Reload, QStringLiteral("重新加载"));
    return menu;
}

void install(QWebEngineView *view)
{
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(view, &QWidget::customContextMenuRequested, view, [view](const QPoint &pos) {
        QMenu *menu = create(view);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(view->mapToGlobal(pos));
    });
}

} // namespace ViewContextMenu
