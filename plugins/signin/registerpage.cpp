#include "registerpage.h"

#include "desktophandoff.h"
#include "qtcompat.h"

#include <QDebug>
#include <QMetaEnum>
#include <QWebEngineRegisterProtocolHandlerRequest>
#include <QWidget>

RegisterPage::RegisterPage(std::shared_ptr<const TrustPolicy> policy, QWidget *dialog)
    : ServicePage(std::move(policy))
    , dialog(dialog)
{
    connect(this, &QWebEnginePage::registerProtocolHandlerRequested, this,
            [](QWebEngineRegisterProtocolHandlerRequest request) {
                qDebug() << request.origin() << ":" << request.scheme();
            });
}

void RegisterPage::leave()
{
    if (QWidget *v = QtCompat::viewForPage(this))
        v->close();
    deleteLater();
}

bool RegisterPage::acceptWebNavigation(const QUrl &url, NavigationType type, bool isMainFrame)
{
    qDebug() << url << QMetaEnum::fromType<NavigationType>().valueToKey(type) << isMainFrame;
    if (endsRegistration(url))
        return false;
    if (dialog)
        dialog->showMaximized();
    if (isMainFrame)
        previousHop = url;
    return true;
}

bool RegisterPage::acceptForeignSite(const QUrl &url, NavigationType type)
{
    qDebug() << url << QMetaEnum::fromType<NavigationType>().valueToKey(type) << true;
    return !endsRegistration(url) && ServicePage::acceptForeignSite(url, type);
}

void RegisterPage::navigationHandedOff(const QUrl &)
{
    // A window opened for an address that went elsewhere has nothing to show.
    if (this->url().isEmpty() && dialog)
        dialog->close();
}

bool RegisterPage::endsRegistration(const QUrl &url)
{
    // Where the window comes from: the last address it was let go to (a redirect's
    // previous hop; the engine reports a script's navigation as a redirect too).
    const QUrl from = previousHop.isValid() ? previousHop : this->url();
    const QString text = url.toString();
    if (text.contains(QLatin1String("forgetpassword")) ||
        text.contains(QLatin1String("WebComCharge.aspx")) ||
        text.contains(QLatin1String("ServiceAgreement.aspx"))) {
        leave();
        if (dialog)
            dialog->close();
        emit close();
        DesktopHandOff::open(url);
        return true;
    }
    if (text.contains(QLatin1String("main.html"))) {
        // Only the service ends a registration: a page it linked to (or a redirect
        // from there) cannot log in somewhere else.
        if (!trustPolicy()->isServiceOrigin(from) && !trustPolicy()->isServiceOrigin(url)) {
            qDebug() << "registration end refused, not the service:" << from << url;
            return true;
        }
        leave();
        emit registerLogin(url);
        return true;
    }
    return false;
}
