#include "productwebengineview.h"

#include "crashreload.h"
#include "navigationrules.h"
#include "outageretry.h"
#include "secondarywindows.h"
#include "viewfeatures.h"
#include "waitingoverlay.h"
#include "webprofile.h"
#include "workspacedownloads.h"

#include <QDebug>
#include <QKeyEvent>
#include <QProgressBar>
#include <QWebEngineProfile>

ProductWebEngineView::ProductWebEngineView(QProgressBar *bar, bool isMainView)
    : isMainView(isMainView)
{
    setWindowFlags(Qt::Window);
    ViewFeatures::attach(this);
    if (!isMainView)
        return;
    outageRetry = new OutageRetry(this);
    progressBar = bar;
    if (bar)
        bar->setMaximum(100);
    windows = new SecondaryWindows(this);
    downloads = new WorkspaceDownloads(this, bar, windows);
    connect(webProfile(), &QWebEngineProfile::downloadRequested, this,
            &ProductWebEngineView::onDownloadRequested);
    connect(this, &QWebEngineView::loadProgress, this, &ProductWebEngineView::onLoadProgress);
    CrashReload::attach(this);
}

void ProductWebEngineView::startLoad(const QUrl &url, QWebEnginePage *waiting)
{
    startUrl = url;
    WaitingOverlay::show(this, waiting);
}

void ProductWebEngineView::setMainPage(QWebEnginePage *page,
                                       std::shared_ptr<const TrustPolicy> policy)
{
    mainPage = page;
    this->policy = std::move(policy);
    setPage(page);
}

void ProductWebEngineView::runInMainPage(const QString &script)
{
    if (mainPage)
        mainPage->runJavaScript(script);
}

void ProductWebEngineView::onLoadProgress(int progress)
{
    const int value = NavigationRules::progressBarValue(progress);
    if (progressBar && value >= 0)
        progressBar->setValue(value);
}

void ProductWebEngineView::keyReleaseEvent(QKeyEvent *event)
{
    qDebug() << "keyReleaseEvent:" << event->key();
}

QWebEngineView *ProductWebEngineView::createWindow(QWebEnginePage::WebWindowType type)
{
    if (type == QWebEnginePage::WebBrowserTab && windows)
        return windows->open(policy ? policy : TrustPolicy::resourcesOnly(), baseHost,
                             policy && mainPage && policy->isServiceOrigin(mainPage->url()));
    return this;
}

QWidget *ProductWebEngineView::currentSubWindow() const
{
    return windows ? windows->newest() : nullptr;
}

void ProductWebEngineView::closeSubWindow()
{
    if (windows)
        windows->closeNewest();
}

void ProductWebEngineView::closeAllSubWindows()
{
    if (windows)
        windows->closeAll();
}

void ProductWebEngineView::onDownloadRequested(QWebEngineDownloadRequest *item)
{
    if (downloads)
        downloads->onDownloadRequested(item);
}

void ProductWebEngineView::onDownloadProgress(qint64 received, qint64 total)
{
    if (downloads)
        downloads->onDownloadProgress(received, total);
}

void ProductWebEngineView::showDownloadPanel()
{
    if (downloads)
        downloads->showDownloadPanel();
}

void ProductWebEngineView::showDownloadComplete()
{
    if (downloads)
        downloads->showDownloadComplete();
}

void ProductWebEngineView::closeDownloadPanel()
{
    if (downloads)
        downloads->closeDownloadPanel();
}
