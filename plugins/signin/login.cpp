#include "login.h"

#include "aliimschemehandler.h"
#include "clientsettings.h"
#include "configfile.h"
#include "deviceidentity.h"
#include "downloadslistkey.h"
#include "loginurl.h"
#include "requestinterceptor.h"
#include "servicepage.h"
#include "trustpolicy.h"
#include "webbridge.h"
#include "webprofile.h"

#include <QDebug>
#include <QFileInfo>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebChannel>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>

QString Login::description()
{
    return QStringLiteral("实现全客户端快捷登录");
}

QString Login::name()
{
    return QStringLiteral("登录模块");
}

QString Login::id()
{
    return QStringLiteral(MERVO_LOGIN_PLUGIN_ID);
}

PluginType Login::type()
{
    return LoginModule;
}

void Login::registerMessage()
{}

void Login::unRegisterMessage()
{}

void Login::init(const QObject *manager)
{
    this->manager =
        manager ? static_cast<PluginManagerInterface *>(
                      const_cast<QObject *>(manager)->qt_metacast(PluginManagerInterface_iid))
                : nullptr;
    DownloadsListKey::setOpener([this] {
        if (this->manager)
            this->manager->sendMessage(ShowDownloads, QString());
    });
}

void Login::castMessage(MessageType, QString)
{}

QLayout *Login::centerLayout(QString)
{
    qInfo() << "开始初始化Login";
    layout = new QVBoxLayout;
    layout->addWidget(getLoginWidget());
    layout->setContentsMargins(0, 0, 0, 0);
    return layout;
}

QWebEngineView *Login::getLoginWidget()
{
    view = new LoginWebEngine(manager);
    QString loginUrl = LoginUrl::buildLoginUrl(DeviceIdentity::deviceId());
    if (!LoginUrl::isUsable(loginUrl)) {
        logSetupIncomplete(loginUrl);
        loginUrl = LoginUrl::setupIncompletePage().toString();
    }
    const ClientSettings settings;
    const auto policy =
        TrustPolicy::forLogin(settings.text(QStringLiteral("Sys/LoginUrl")), QUrl(loginUrl));

    QWebEngineProfile *profile = webProfile();
    profile->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
    AliimSchemeHandler::installOn(profile);

    view->setContentsMargins(0, 0, 0, 0);
    view->setContextMenuPolicy(Qt::NoContextMenu);
    // Two pages set up alike: the waiting page shows in the first while the second, the
    // view's own page, starts its renderer; the login page then loads in the second.
    view->startLoading(QUrl(loginUrl), newLoginPage(policy, loginUrl),
                       newLoginPage(policy, loginUrl));
    return view;
}

QWebEnginePage *Login::newLoginPage(const std::shared_ptr<const TrustPolicy> &policy,
                                    const QString &loginUrl)
{
    // Owned by the view: a page that outlives the web profile crashes at exit.
    auto *page = new ServicePage(policy, view);
    page->settings()->setAttribute(QWebEngineSettings::FullScreenSupportEnabled, true);

    // Channel and bridge go with the page; the bridge outlives the view's release
    // long enough for quicklogin to finish, since the page is deleted later.
    auto *channel = new QWebChannel(page);
    auto *bridge = new WebBridge(manager, loginUrl);
    bridge->setParent(channel);
    bridge->setAccess(BridgeAccess(page, policy));
    channel->registerObject(QStringLiteral("qt"), bridge);
    page->setWebChannel(channel);

    page->setUrlRequestInterceptor(new RequestInterceptor(page));
    return page;
}

void Login::release()
{
    qDebug() << "delete login page";
    if (view) {
        view->closeSubWindow();
        view->page()->deleteLater();
        view->deleteLater();
    }
    qDebug() << "end delete login page";
}

QWebEngineView *Login::getWeb()
{
    return view;
}

QUrl Login::getLoadUrl()
{
    if (!view)
        return QUrl();
    // F5 on the page about an incomplete installation reads config.ini again; once it
    // holds a login address, the module starts afresh with it (pages, trust and all).
    if (view->url() == LoginUrl::setupIncompletePage()) {
        const QString loginUrl = LoginUrl::buildLoginUrl(DeviceIdentity::deviceId());
        if (!LoginUrl::isUsable(loginUrl)) {
            logSetupIncomplete(loginUrl);
        } else if (manager) {
            QTimer::singleShot(0, this, [this] {
                if (manager)
                    manager->sendMessage(OpenLogin, QString());
            });
        }
    }
    return view->targetUrl();
}

void Login::logSetupIncomplete(const QString &loginUrl)
{
    qWarning().noquote() << "login url: installation incomplete, no usable address in"
                         << QFileInfo(configFileName()).absoluteFilePath()
                         << "key Sys/LoginUrl (composed:" << loginUrl
                         << "); reinstall the client to repair it";
}

QAction *Login::getAction()
{
    return nullptr;
}
