#include "trustpolicy.h"

#include "clientsettings.h"

#include <QDebug>

static bool isWebScheme(const QString &scheme)
{
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

static int defaultPort(const QString &scheme)
{
    return scheme == QLatin1String("https") ? 443 : 80;
}

std::shared_ptr<const TrustPolicy> TrustPolicy::forLogin(const QString &loginUrls,
                                                         const QUrl &loginUrl)
{
    auto policy = std::make_shared<TrustPolicy>();
    for (const QString &candidate : loginUrls.split(QLatin1Char('|'), Qt::SkipEmptyParts))
        policy->addOrigin(QUrl(candidate.trimmed()));
    policy->addOrigin(loginUrl);
    policy->addConfiguredHosts();
    return policy;
}

std::shared_ptr<const TrustPolicy> TrustPolicy::forWorkspace(const QUrl &startUrl)
{
    auto policy = std::make_shared<TrustPolicy>();
    policy->addOrigin(startUrl);
    policy->addConfiguredHosts();
    return policy;
}

std::shared_ptr<const TrustPolicy> TrustPolicy::resourcesOnly()
{
    return std::make_shared<TrustPolicy>();
}

void TrustPolicy::addOrigin(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    if (!isWebScheme(scheme) || url.host().isEmpty())
        return;
    origins.append({scheme, url.host().toLower(), url.port(defaultPort(scheme))});
}

void TrustPolicy::addTrustedHost(const QString &entry)
{
    // Parsed as an authority, so "[::1]:8080" and "host:port" come apart correctly.
    const QUrl url(QStringLiteral("//") + entry.trimmed());
    if (!url.isValid() || url.host().isEmpty() || !url.path().isEmpty()) {
        qDebug() << "trusted host ignored:" << entry;
        return;
    }
    origins.append({QString(), url.host().toLower(), url.port(-1)});
}

void TrustPolicy::addConfiguredHosts()
{
    const QString hosts = ClientSettings().text(QStringLiteral("Sys/TrustedHosts"));
    for (const QString &entry : hosts.split(QLatin1Char('|'), Qt::SkipEmptyParts))
        addTrustedHost(entry);
}

bool TrustPolicy::isServiceOrigin(const QUrl &url) const
{
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("qrc"))
        return true;
    if (!isWebScheme(scheme))
        return false;
    const QString host = url.host().toLower();
    const int port = url.port(defaultPort(scheme));
    for (const Origin &o : origins) {
        if (o.host != host)
            continue;
        if (o.scheme.isEmpty()) {
            if (o.port == -1 ? port == defaultPort(scheme) : port == o.port)
                return true;
        } else if (o.scheme == scheme && o.port == port) {
            return true;
        }
    }
    return false;
}

bool TrustPolicy::isForeignSite(const QUrl &url) const
{
    return isWebScheme(url.scheme().toLower()) && !isServiceOrigin(url);
}

bool TrustPolicy::mayUseBridges(const QWebEnginePage *page) const
{
    return page && isServiceOrigin(page->url());
}

QWebEnginePage::PermissionPolicy TrustPolicy::permissionFor(QWebEnginePage::Feature feature,
                                                            const QUrl &origin) const
{
    switch (feature) {
    case QWebEnginePage::Notifications:
    case QWebEnginePage::MediaAudioCapture:
    case QWebEnginePage::MediaVideoCapture:
    case QWebEnginePage::MediaAudioVideoCapture:
        return isServiceOrigin(origin) && origin.scheme() != QLatin1String("qrc")
                   ? QWebEnginePage::PermissionGrantedByUser
                   : QWebEnginePage::PermissionDeniedByUser;
    default:
        return QWebEnginePage::PermissionDeniedByUser;
    }
}
