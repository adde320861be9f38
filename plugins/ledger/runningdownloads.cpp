#include "runningdownloads.h"

#include <QWebEngineDownloadItem>

RunningDownloads *RunningDownloads::instance()
{
    static RunningDownloads downloads;
    return &downloads;
}

void RunningDownloads::track(QWebEngineDownloadItem *item)
{
    if (items.contains(item))
        return;
    items.append(item);
    connect(item, &QWebEngineDownloadItem::stateChanged, this, &RunningDownloads::update);
    connect(item, &QObject::destroyed, this, &RunningDownloads::update, Qt::QueuedConnection);
    update();
}

int RunningDownloads::count() const
{
    // A resumed transfer may come as a later item with the same id, the earlier one left
    // "in progress": the latest item of an id tells its state.
    QList<quint32> seen;
    int running = 0;
    for (auto it = items.crbegin(); it != items.crend(); ++it) {
        const QWebEngineDownloadItem *item = it->data();
        if (!item || seen.contains(item->id()))
            continue;
        seen.append(item->id());
        if (item->state() == QWebEngineDownloadItem::DownloadInProgress)
            ++running;
    }
    return running;
}

void RunningDownloads::cancelAll()
{
    const auto copy = items;
    for (const auto &item : copy) {
        if (item && item->state() == QWebEngineDownloadItem::DownloadInProgress)
            item->cancel();
    }
}

void RunningDownloads::update()
{
    items.removeAll(nullptr);
    const int now = count();
    if (now == lastCount)
        return;
    lastCount = now;
    emit countChanged(now);
}
