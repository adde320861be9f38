#pragma once

#include "crashthrottle.h"

#include <QMutex>
#include <QPointer>
#include <QSet>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineView>

class FileQdialog;
class QProgressBar;
class QWebEngineDownloadItem;

// A workspace view. The main view shows the service, drives the thin progress
// bar, hosts secondary windows for new tabs and handles every download of the
// workspace; a secondary view only shows a secondary page.
class ProductWebEngineView final : public QWebEngineView
{
    Q_OBJECT

public:
    ProductWebEngineView(QProgressBar *bar, bool isMainView);

    void setBaseHost(const QString &host) { baseHost = host; }
    QString getBaseHost() const { return baseHost; }
    void startLoad(const QUrl &url);
    QUrl getStartUrl() const { return startUrl; }
    QWidget *currentSubWindow() const { return subWindow; }

    void closeSubWindow();

    void onDownloadRequested(QWebEngineDownloadItem *item);
    void onDownloadProgress(qint64 received, qint64 total);
    void showDownloadPanel();
    void showDownloadComplete();
    void closeDownloadPanel();

protected:
    void keyReleaseEvent(QKeyEvent *event) override;
    QWebEngineView *createWindow(QWebEnginePage::WebWindowType type) override;

private:
    void onLoadProgress(int progress);
    void onRenderProcessTerminated(QWebEnginePage::RenderProcessTerminationStatus status,
                                   int exitCode);
    void watchDownload(QWebEngineDownloadItem *item);
    void onDownloadFinished(QWebEngineDownloadItem *item);
    void onPanelKeyRelease(QKeyEvent *event);
    QWebEngineView *openSubWindow();

    QPointer<QWidget> subWindow;
    QPointer<QProgressBar> progressBar;
    QString downloadDir;
    QString downloadFile;
    QPointer<QWebEngineView> downloadView;
    QPointer<FileQdialog> downloadWindow;
    int downloadPercent = 0;
    bool completeShown = false;
    QSet<quint32> acceptedDownloads;
    bool isMainView;
    QString baseHost;
    QUrl startUrl;
    QMutex subWindowMutex;
    CrashThrottle crashThrottle;
};
