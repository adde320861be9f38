#pragma once

#include "servicepage.h"

#include <QPointer>
#include <QUrl>

// The page of a registration sub window. It watches its own navigation: the end of
// registration (the service's main page) logs the new user in, and pages meant for
// the browser (forgotten password, payment, service agreement) go to the desktop, and
// so does any other site.
class RegisterPage final : public ServicePage
{
    Q_OBJECT

public:
    RegisterPage(std::shared_ptr<const TrustPolicy> policy, QWidget *dialog);

signals:
    void registerLogin(QUrl url);
    void close();

protected:
    bool acceptWebNavigation(const QUrl &url, NavigationType type, bool isMainFrame) override;
    bool acceptForeignSite(const QUrl &url, NavigationType type) override;
    void navigationHandedOff(const QUrl &url) override;

private:
    // The pages that end the window's part: true when url was one of them (handled).
    bool endsRegistration(const QUrl &url);
    void leave();

    QPointer<QWidget> dialog;
    QUrl previousHop;
};
