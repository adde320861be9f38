#pragma once

#include "servicepage.h"

// The workspace page. Leaving the service host by a typed address or a redirect
// means the session is over (outlick); any other way to another site goes to the
// browser. Script alerts and confirms use the workspace's own message box.
class ProductMainPage final : public ServicePage
{
    Q_OBJECT

public:
    explicit ProductMainPage(std::shared_ptr<const TrustPolicy> policy);

    QString baseHost() const { return m_baseHost; }

signals:
    void outlick();

protected:
    void javaScriptAlert(const QUrl &securityOrigin, const QString &msg) override;
    bool javaScriptConfirm(const QUrl &securityOrigin, const QString &msg) override;
    bool acceptWebNavigation(const QUrl &url, NavigationType type, bool isMainFrame) override;
    bool acceptForeignSite(const QUrl &url, NavigationType type) override;

private:
    QString m_baseHost;
};
