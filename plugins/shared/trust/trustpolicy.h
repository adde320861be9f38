#pragma once

#include <QList>
#include <QString>
#include <QUrl>
#include <QWebEnginePage>

#include <memory>

// Which pages are the service's own, for the views of one module. Pages and
// bridges ask this one object what a page may do: use the bridges, get
// permissions. Resource pages (qrc:) are always the client's own.
class TrustPolicy final
{
public:
    // The login module trusts every candidate of Sys/LoginUrl and the login URL in use;
    // the workspace trusts the origin of its start URL. Both add Sys/TrustedHosts.
    static std::shared_ptr<const TrustPolicy> forLogin(const QString &loginUrls,
                                                       const QUrl &loginUrl);
    static std::shared_ptr<const TrustPolicy> forWorkspace(const QUrl &startUrl);
    // Nothing but the client's own resource pages (the download panel).
    static std::shared_ptr<const TrustPolicy> resourcesOnly();

    bool isServiceOrigin(const QUrl &url) const;
    // An http(s) address of another site: never shown in a view of its own, only in a
    // frame of a service page.
    bool isForeignSite(const QUrl &url) const;
    // Only while the page's main frame shows a service origin.
    bool mayUseBridges(const QWebEnginePage *page) const;
    // Microphone, camera and notifications for the service; nothing else for anybody.
    QWebEnginePage::PermissionPolicy permissionFor(QWebEnginePage::Feature feature,
                                                   const QUrl &origin) const;

    // http(s) URL: its scheme, host and port.
    void addOrigin(const QUrl &url);
    // "host" (http or https on their default ports) or "host:port" (either scheme).
    void addTrustedHost(const QString &entry);
    // Sys/TrustedHosts of config.ini, "|"-separated.
    void addConfiguredHosts();

private:
    struct Origin
    {
        QString scheme; // empty: http or https
        QString host;
        int port = -1; // -1: the scheme's default port
    };
    QList<Origin> origins;
};
