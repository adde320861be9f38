#include "downloadslistkey.h"

#include <QShortcut>
#include <QWebEngineView>

static std::function<void()> &opener()
{
    static std::function<void()> open;
    return open;
}

void DownloadsListKey::setOpener(std::function<void()> open)
{
    opener() = std::move(open);
}

void DownloadsListKey::attach(QWebEngineView *view)
{
    auto *shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_J), view);
    shortcut->setContext(Qt::WidgetWithChildrenShortcut);
    QObject::connect(shortcut, &QShortcut::activated, view, [] {
        if (opener())
            opener()();
    });
}
