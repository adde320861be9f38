#include "servicepage.h"

#include "desktophandoff.h"
#include "pageprinter.h"
#include "signinprompt.h"
#include "webprofile.h"

#include <QAuthenticator>
#include <QWebEngineCertificateError>
#include <QDebug>
#include <QMetaEnum>
#include <QTimer>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>

static bool isWebNavigation(const QUrl &url)
{
    static const QStringList schemes{"http", "https", "qrc", "about", "data", "blob"};
    return schemes.contains(url.scheme().toLower());
}

ServicePage::ServicePage(std::shared_ptr<const TrustPolicy> policy, QObject *parent)
    : QWebEngineCertificateRefusingPage(webProfile(), parent)
    , m_policy(std::move(policy))
{
    // Script alone never reaches a protocol handler; a click may, through the hand-off.
    settings()->setUnknownUrlSchemePolicy(
        QWebEngineSettings::AllowUnknownUrlSchemesFromUserInteraction);
    connect(this, &QWebEnginePage::loadStarted, this, [this] { refusedUrl.clear(); });
    connect(this, &QWebEnginePage::loadFinished, this, &ServicePage::onLoadFinished);
    connect(this, &QWebEnginePage::featurePermissionRequested, this,
            &ServicePage::onFeaturePermissionRequested);
    // window.print(): asked once the page's call has returned.
    connect(this, &QWebEnginePage::printRequested, this, [this] {
        QTimer::singleShot(0, this, [this] { PagePrinter::print(this, dialogParent()); });
    });
    connect(this, &QWebEnginePage::authenticationRequired, this,
            [this](const QUrl &requestUrl, QAuthenticator *authenticator) {
                SignInPrompt::ask(dialogParent(), requestUrl.host(), authenticator);
            });
    connect(this, &QWebEnginePage::proxyAuthenticationRequired, this,
            [this](const QUrl &, QAuthenticator *authenticator, const QString &proxyHost) {
                // What the user gave before, once per page: asked again, it was wrong.
                if (!proxySignInRecalled && SignInPrompt::recallProxy(proxyHost, authenticator)) {
                    proxySignInRecalled = true;
                    return;
                }
                if (SignInPrompt::ask(dialogParent(), proxyHost, authenticator))
                    SignInPrompt::rememberProxy(proxyHost, *authenticator);
            });
}

QWidget *ServicePage::dialogParent() const
{
    QWidget *view = QtCompat::viewForPage(this);
    return view ? view->window() : nullptr;
}

void ServicePage::certificateRefused(const QWebEngineCertificateError &error)
{
    // A frame's refusal is remembered too; only a page of that address shows it.
    refusedUrl = error.url();
    refusal = CertificatePage::refusalOf(error);
    qDebug().noquote() << "certificate refused:" << refusal.host << refusal.engineReason;
}

void ServicePage::onLoadFinished(bool ok)
{
    if (ok || refusedUrl.isEmpty())
        return;
    const QUrl current = url();
    if (current.host() == refusedUrl.host() && current.port(443) == refusedUrl.port(443))
        CertificatePage::show(this, refusal);
}

bool ServicePage::acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame)
{
    if (isMainFrame && m_policy->isForeignSite(url))
        return acceptForeignSite(url, type);
    if (isWebNavigation(url))
        return acceptWebNavigation(url, type, isMainFrame);
    if (DesktopHandOff::isChatScheme(url) && type != NavigationTypeLinkClicked
        && !speaksForService())
        qDebug().noquote() << "desktop hand-off refused: no click, not the service:"
                           << this->url().toString();
    else
        DesktopHandOff::open(url);
    navigationHandedOff(url);
    return false;
}

bool ServicePage::acceptForeignSite(const QUrl &url, NavigationType)
{
    handForeignSiteToBrowser(url);
    return false;
}

void ServicePage::handForeignSiteToBrowser(const QUrl &url)
{
    qDebug().noquote() << "foreign site to the browser:" << url.toString();
    DesktopHandOff::open(url);
    navigationHandedOff(url);
}

bool ServicePage::speaksForService() const
{
    return m_policy->isServiceOrigin(url());
}

bool ServicePage::acceptWebNavigation(const QUrl &, NavigationType, bool)
{
    return true;
}

void ServicePage::onFeaturePermissionRequested(const QUrl &origin, Feature feature)
{
    qDebug().noquote() << "PermissionRequested ProductMainPageurl:" << origin.toString()
                       << " feature:" << QMetaEnum::fromType<Feature>().valueToKey(feature);
    setFeaturePermission(origin, feature, m_policy->permissionFor(feature, origin));
}
