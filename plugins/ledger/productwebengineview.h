#pragma once

#include "trustpolicy.h"

#include <QPointer>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <memory>

class FileQdialog;
class OutageRetry;
class QProgressBar;
#include "qtcompat.h"
class SecondaryWindows;
class WorkspaceDownloads;

// A workspace view. The main view shows the service, drives the thin progress
// bar, hosts secondary windows for new tabs and handles every download of the
// workspace (through its helpers); a secondary view only shows a secondary page.
class ProductWebEngineView final : public QWebEngineView
{
    Q_OBJECT

public:
    ProductWebEngineView(QProgressBar *bar, bool isMainView);

    void setBaseHost(const QString &host) { baseHost = host; }
    QString getBaseHost() const { return baseHost; }
    // Shows the waiting page (in waiting, set up like the main page) over the main page
    // until url, once the waiting page asks, or anything else has loaded in the view.
    void startLoad(const QUrl &url, QWebEnginePage *waiting);
    QUrl getStartUrl() const { return startUrl; }

    // The service's page of this view, with the policy its secondary pages share.
    void setMainPage(QWebEnginePage *page, std::shared_ptr<const TrustPolicy> policy);
    // Runs one of the service's page hooks ($common...), if the page is still there.
    void runInMainPage(const QString &script);

    // The main view's way through outages; null on a secondary view.
    OutageRetry *outage() const { return outageRetry; }

    QWidget *currentSubWindow() const;
    void closeSubWindow();
    void closeAllSubWindows();

    void onDownloadRequested(QWebEngineDownloadRequest *item);
    void onDownloadProgress(qint64 received, qint64 total);
    void showDownloadPanel();
    void showDownloadComplete();
    void closeDownloadPanel();

protected:
    void keyReleaseEvent(QKeyEvent *event) override;
    QWebEngineView *createWindow(QWebEnginePage::WebWindowType type) override;

private:
    void onLoadProgress(int progress);

    QPointer<QProgressBar> progressBar;
    QPointer<QWebEnginePage> mainPage;
    std::shared_ptr<const TrustPolicy> policy;
    SecondaryWindows *windows = nullptr;
    WorkspaceDownloads *downloads = nullptr;
    OutageRetry *outageRetry = nullptr;
    bool isMainView;
    QString baseHost;
    QUrl startUrl;
};
