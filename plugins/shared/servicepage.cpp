#include "servicepage.h"

#include "desktophandoff.h"

#include <QDebug>
#include <QMetaEnum>
#include <QWebEngineProfile>
#include <QWebEngineSettings>

static bool isWebNavigation(const QUrl &url)
{
    static const QStringList schemes{"http", "https", "qrc", "about", "data", "blob"};
    return schemes.contains(url.scheme().toLower());
}

ServicePage::ServicePage(std::shared_ptr<const TrustPolicy> policy, QObject *parent)
    : QWebEnginePage(QWebEngineProfile::defaultProfile(), parent)
    , m_policy(std::move(policy))
{
    // Script alone never reaches a protocol handler; a click may, through the hand-off.
    settings()->setUnknownUrlSchemePolicy(
        QWebEngineSettings::AllowUnknownUrlSchemesFromUserInteraction);
    connect(this, &QWebEnginePage::featurePermissionRequested, this,
            &ServicePage::onFeaturePermissionRequested);
}

bool ServicePage::acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame)
{
    if (isWebNavigation(url))
        return acceptWebNavigation(url, type, isMainFrame);
    DesktopHandOff::open(url);
    navigationHandedOff(url);
    return false;
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
