#include "historykeys.h"

#include "outageretry.h"
#include "renderchildfilter.h"
#include "servicepage.h"

#include <QDebug>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWebEngineHistory>
#include <QWebEngineView>

HistoryKeys::HistoryKeys(QWebEngineView *view)
    : QObject(view)
    , view(view)
{}

HistoryKeys *HistoryKeys::attach(QWebEngineView *view)
{
    auto *keys = new HistoryKeys(view);
    RenderChildFilter::of(view)->add(keys, [keys](QEvent *event) { return keys->onEvent(event); });
    return keys;
}

int HistoryKeys::target(const QList<Entry> &entries, int current, int step,
                        const std::function<bool(const QUrl &)> &isService)
{
    if (step == 0 || current < 0 || current >= entries.size())
        return -1;
    const int direction = step < 0 ? -1 : 1;
    for (int i = current + direction; i >= 0 && i < entries.size(); i += direction) {
        const Entry &entry = entries.at(i);
        const QString scheme = entry.url.scheme();
        if ((scheme == QLatin1String("http") || scheme == QLatin1String("https")) &&
            !OutageRetry::isOutageTitle(entry.title) &&
            !CertificatePage::isPageTitle(entry.title) && isService(entry.url))
            return i;
    }
    return -1;
}

void HistoryKeys::go(int step)
{
    if (!view)
        return;
    // Only a page of a module knows what the service is.
    auto *page = qobject_cast<ServicePage *>(view->page());
    if (!page)
        return;
    QWebEngineHistory *history = page->history();
    const QList<QWebEngineHistoryItem> items = history->items();
    QList<Entry> entries;
    for (const QWebEngineHistoryItem &item : items)
        entries.append({item.url(), item.title()});
    const auto policy = page->trustPolicy();
    const int index = target(entries, history->currentItemIndex(), step,
                             [&policy](const QUrl &url) { return policy->isServiceOrigin(url); });
    if (index < 0) {
        qDebug() << "history: no service page" << (step < 0 ? "back" : "forward");
        return;
    }
    qDebug() << "history:" << items.at(index).url();
    history->goToItem(items.at(index));
}

bool HistoryKeys::onEvent(QEvent *event)
{
    int step = 0;
    if (event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if ((key->modifiers() & ~Qt::KeypadModifier) == Qt::AltModifier) {
            if (key->key() == Qt::Key_Left)
                step = -1;
            else if (key->key() == Qt::Key_Right)
                step = 1;
        }
    } else if (event->type() == QEvent::MouseButtonPress ||
               event->type() == QEvent::MouseButtonRelease ||
               event->type() == QEvent::MouseButtonDblClick) {
        const Qt::MouseButton button = static_cast<QMouseEvent *>(event)->button();
        if (button == Qt::BackButton || button == Qt::ForwardButton) {
            // The press moves; release and double click are only kept from the page.
            if (event->type() == QEvent::MouseButtonPress)
                go(button == Qt::BackButton ? -1 : 1);
            return true;
        }
    }
    if (step == 0)
        return false;
    go(step);
    return true;
}
