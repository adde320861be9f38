#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

class QWebEngineDownloadItem;

// The module's transfers that are under way, counted for the host (which asks before a
// quit would cancel them) and cancelled together when the host quits anyway. Lives as
// long as the plug-in: downloads outlast the workspace view that started them.
class RunningDownloads final : public QObject
{
    Q_OBJECT

public:
    static RunningDownloads *instance();

    void track(QWebEngineDownloadItem *item);
    int count() const;
    // Cancelling removes what was written so far; nothing partial stays.
    void cancelAll();

signals:
    void countChanged(int count);

private:
    void update();

    QList<QPointer<QWebEngineDownloadItem>> items;
    int lastCount = 0;
};
