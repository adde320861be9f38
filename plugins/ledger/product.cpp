#include "product.h"

#include "aliimschemehandler.h"
#include "bridgeaccess.h"
#include "downloadslist.h"
#include "downloadslistdialog.h"
#include "downloadslistkey.h"
#include "navigationrules.h"
#include "outageretry.h"
#include "productmainpage.h"
#include "productwebbridge.h"
#include "qtcompat.h"
#include "requestinterceptor.h"
#include "trustpolicy.h"
#include "webprofile.h"

#include <QDebug>
#include <QMessageBox>
#include <QVBoxLayout>
#include <QWebChannel>
#include <QWebEngineCookieStore>
#include <QWebEngineProfile>
#include <QWebEngineSettings>

QString Product::description()
{
    return QStringLiteral("实现全客户端快捷登录");
}

QString Product::name()
{
    return QStringLiteral("产品模块");
}

QString Product::id()
{
    return QStringLiteral(MERVO_PRODUCT_PLUGIN_ID);
}

PluginType Product::type()
{
    return WorkspaceModule;
}

void Product::registerMessage()
{
    if (pluginManager)
        pluginManager->registerMessage(OpenWorkspace, id());
    if (pluginManager)
        pluginManager->registerMessage(ShowDownloads, id());
}

void Product::unRegisterMessage()
{}

void Product::init(const QObject *manager)
{
    pluginManager =
        manager ? static_cast<PluginManagerInterface *>(
                      const_cast<QObject *>(manager)->qt_metacast(PluginManagerInterface_iid))
                : nullptr;
    DownloadsListKey::setOpener([this] {
        if (pluginManager)
            pluginManager->sendMessage(ShowDownloads, QString());
    });
    // The list outlives the workspace: a download still running at log-out reports here.
    connect(DownloadsList::instance(), &DownloadsList::completed, this,
            [this](const QString &fileName) {
                if (pluginManager)
                    pluginManager->sendMessage(DownloadFinished, fileName);
            });
    // The host asks before a quit would cancel what is still downloading.
    disconnect(DownloadsList::instance(), &DownloadsList::runningCountChanged, this, nullptr);
    connect(DownloadsList::instance(), &DownloadsList::runningCountChanged, this,
            [this](int count) {
                if (pluginManager)
                    pluginManager->sendMessage(DownloadsRunning, QString::number(count));
            });
}

void Product::castMessage(MessageType type, QString text)
{
    qDebug() << int(type);
    qDebug() << "re:" << text;
    if (type == OpenWorkspace)
        qDebug() << "load..." << text;
    if (type == ShowDownloads)
        DownloadsListDialog::showList(pluginManager ? pluginManager->getMainWindow() : nullptr);
    else if (type == CancelDownloads)
        DownloadsList::instance()->cancelAll();
}

QLayout *Product::centerLayout(QString url)
{
    if (url.isEmpty()) {
        QMessageBox::information(nullptr, QStringLiteral("登录提示"),
                                 QStringLiteral("目标地址为空,请联系服务顾问"), QMessageBox::Ok);
        return nullptr;
    }
    qInfo() << "开始初始化Product";
    progressBar = new QProgressBar;
    view = new ProductWebEngineView(progressBar, true);
    const auto policy = TrustPolicy::forWorkspace(QUrl(url));
    ProductMainPage *page = newWorkspacePage(policy);

    QWebEngineProfile *profile = page->profile();
    profile->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
    AliimSchemeHandler::installOn(profile);

    view->setContentsMargins(0, 0, 0, 0);
    view->setContextMenuPolicy(Qt::NoContextMenu);
    const QString host = NavigationRules::baseHostOf(url);
    if (!host.isNull())
        view->setBaseHost(host);

    progressBar->setFixedHeight(1);
    progressBar->setTextVisible(false);
    progressBar->setStyleSheet(QStringLiteral("QProgressBar {border: 0px;background: #2881C7;} "
                                              "QProgressBar::chunk {background-color: #0000FF}"));

    auto *layout = new QVBoxLayout;
    layout->addWidget(progressBar);
    layout->addWidget(view);
    layout->setContentsMargins(0, 0, 0, 0);
    progressBar->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    connect(page, &ProductMainPage::outlick, this, &Product::outlick);
    connect(page, &QWebEnginePage::loadFinished, this, &Product::reload);
    // Each workspace session gets its own single retry of an error answer.
    loadCount = 0;
    reloadedAfterError = false;
    connect(view->outage(), &OutageRetry::failedWithAnswer, this, &Product::onServiceError);

    view->setMainPage(page, policy);
    // The waiting page in a second page set up alike, over the view's own page, whose
    // renderer starts meanwhile; the workspace then loads into the running page.
    ProductMainPage *waiting = newWorkspacePage(policy);
    // The login's cookies and cached answers go before the workspace loads: once the
    // waiting page stands (clearing the caches while it loads slows it down: the
    // renderer's own caches go too), or at the latest when the view starts another load.
    loginSessionCleared = false;
    connect(waiting, &QWebEnginePage::loadFinished, this, &Product::clearLoginSession);
    connect(page, &QWebEnginePage::loadStarted, this, &Product::clearLoginSession);
    view->startLoad(QUrl(url), waiting);
    return layout;
}

ProductMainPage *Product::newWorkspacePage(const std::shared_ptr<const TrustPolicy> &policy)
{
    auto *page = new ProductMainPage(policy);
    // Owned by the view: a page that outlives the web profile crashes at exit.
    page->setParent(view);
    for (auto attribute :
         {QWebEngineSettings::LocalStorageEnabled, QWebEngineSettings::PluginsEnabled,
          QWebEngineSettings::FullScreenSupportEnabled, QWebEngineSettings::ShowScrollBars})
        page->settings()->setAttribute(attribute, true);
    page->setUrlRequestInterceptor(new RequestInterceptor(page));

    auto *channel = new QWebChannel(page);
    auto *bridge = new ProductWebBridge(pluginManager);
    bridge->setParent(channel);
    bridge->setAccess(BridgeAccess(page, policy));
    channel->registerObject(QStringLiteral("qt"), bridge);
    page->setWebChannel(channel);
    return page;
}

void Product::release()
{
    qDebug() << "delete product page";
    if (view) {
        view->closeAllSubWindows();
        view->page()->deleteLater();
        view->deleteLater();
    }
    // The host deletes only the layout; the bar is ours.
    if (progressBar)
        progressBar->deleteLater();
}

QWebEngineView *Product::getWeb()
{
    return view;
}

QUrl Product::getLoadUrl()
{
    return view ? view->getStartUrl() : QUrl();
}

QAction *Product::getAction()
{
    return nullptr;
}

void Product::outlick()
{
    if (pluginManager)
        pluginManager->sendMessage(OpenLogin, QString());
}

void Product::reload(bool ok)
{
    // The client's own pages (waiting, outage) are no load of the service.
    const QString scheme = view ? view->url().scheme() : QString();
    if (ok && (scheme == QLatin1String("http") || scheme == QLatin1String("https")))
        ++loadCount;
}

void Product::onServiceError()
{
    // The service answered but the page failed: one more try before anything loaded.
    // Outages (nothing answered) are the view's own back-off.
    if (loadCount == 0 && !reloadedAfterError && view) {
        reloadedAfterError = true;
        view->outage()->reloadSoon();
    }
}

void Product::clearLoginSession()
{
    if (loginSessionCleared)
        return;
    loginSessionCleared = true;
    QWebEngineProfile *profile = webProfile();
    profile->cookieStore()->deleteAllCookies();
    QtCompat::clearHttpCache(profile);
}

void Product::deleteCookie(QWebEnginePage *page)
{
    QWebEngineProfile *profile = page->profile();
    QtCompat::clearHttpCache(profile);
    profile->cookieStore()->deleteAllCookies();
    profile->cookieStore()->deleteSessionCookies();
}
