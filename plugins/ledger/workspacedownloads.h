#pragma once

#include <QObject>
#include <QPointer>
#include <QHash>
#include <QString>

class FileQdialog;
class ProductWebEngineView;
class QKeyEvent;
class QProgressBar;
#include "qtcompat.h"
class QWebEngineView;
class SecondaryWindows;

// Every download of the workspace: the save dialog, then a small panel over the
// main view with a progress chart that turns into a completion box offering the
// saved file and its folder.
class WorkspaceDownloads final : public QObject
{
    Q_OBJECT

public:
    WorkspaceDownloads(ProductWebEngineView *mainView, QProgressBar *bar,
                       SecondaryWindows *windows);

    void onDownloadRequested(QWebEngineDownloadRequest *item);
    void onDownloadProgress(qint64 received, qint64 total);
    void showDownloadPanel();
    void showDownloadComplete();
    void closeDownloadPanel();

private:
    void watchDownload(QWebEngineDownloadRequest *item);
    void onDownloadFinished(QWebEngineDownloadRequest *item);
    void onDownloadInterrupted(QWebEngineDownloadRequest *item);
    bool refuseWithoutRoom(QWebEngineDownloadRequest *item, qint64 remaining);
    static void discardPartial(QWebEngineDownloadRequest *item);
    // "下载失败" with the reason; "重试" when resumable is given.
    void reportFailure(const QString &fileName, const QString &reason,
                       QWebEngineDownloadRequest *resumable);
    void onPanelKeyRelease(QKeyEvent *event);

    ProductWebEngineView *mainView;
    QPointer<QProgressBar> progressBar;
    SecondaryWindows *windows;
    QString downloadDir;
    QString downloadFile;
    QPointer<QWebEngineView> downloadView;
    QPointer<FileQdialog> downloadWindow;
    int downloadPercent = 0;
    bool completeShown = false;
    QHash<quint32, QString> acceptedDownloads; // id -> the file the user chose
};
