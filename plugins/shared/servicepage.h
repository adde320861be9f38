#pragma once

#include "certificatepage.h"
#include "qtcompat.h"
#include "trustpolicy.h"

#include <QWebEnginePage>

#include <memory>

// A page of one of the modules' views. Only the service's own pages show in it: a
// main-frame navigation to another site goes to the user's browser (the engine gets no
// security updates; frames of other sites stay, each in a renderer of its own).
// Navigations to schemes other than the web's never reach a protocol handler
// directly: chat links and mail go through the desktop hand-off, anything else is
// refused. A chat link goes only from a click or
// from one of the service's own pages. Permissions come from the trust policy.
// Print requests and requests for a user name and password (the server's or a
// proxy's) are answered with the client's own dialogs. A certificate the engine
// rejects is refused, never overridden, and the page shows the client's own page
// saying why.
class ServicePage : public QWebEngineCertificateRefusingPage
{
    Q_OBJECT

public:
    explicit ServicePage(std::shared_ptr<const TrustPolicy> policy, QObject *parent = nullptr);

    const std::shared_ptr<const TrustPolicy> &trustPolicy() const { return m_policy; }
    // Whether the current load's page had its certificate refused: no outage, no answer
    // of the service, nothing to retry by itself.
    bool refusedCertificate() const { return !refusedUrl.isEmpty(); }

protected:
    void certificateRefused(const QWebEngineCertificateError &error) override;
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) final;

    // http(s), qrc and the browser's own schemes: the page class's rules; all pass here.
    virtual bool acceptWebNavigation(const QUrl &url, NavigationType type, bool isMainFrame);
    // A main-frame navigation to another site (TrustPolicy::isForeignSite); by default it
    // goes to the user's browser and the page stays as it was.
    virtual bool acceptForeignSite(const QUrl &url, NavigationType type);
    void handForeignSiteToBrowser(const QUrl &url);
    // A navigation went to the desktop hand-off (allowed or not) instead of the page.
    virtual void navigationHandedOff(const QUrl &url) { Q_UNUSED(url); }
    // Whether the page may send a chat link to the desktop without a click.
    virtual bool speaksForService() const;

private:
    QWidget *dialogParent() const;
    void onFeaturePermissionRequested(const QUrl &origin, Feature feature);
    void onLoadFinished(bool ok);

    std::shared_ptr<const TrustPolicy> m_policy;
    bool proxySignInRecalled = false;
    QUrl refusedUrl;
    CertificatePage::Refusal refusal;
};
