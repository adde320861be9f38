#include "registerpage.h"

#include <QDebug>
#include <QDesktopServices>
#include <QMetaEnum>
#include <QWebEngineProfile>
#include <QWebEngineRegisterProtocolHandlerRequest>
#include <QWebEngineSettings>
#include <QWidget>

RegisterPage::RegisterPage(QWidget *dialog)
    : QWebEnginePage(QWebEngineProfile::defaultProfile())
    , dialog(dialog)
{
    settings()->setUnknownUrlSchemePolicy(QWebEngineSettings::AllowAllUnknownUrlSchemes);
    connect(this, &QWebEnginePage::registerProtocolHandlerRequested, this,
            [](QWebEngineRegisterProtocolHandlerRequest request) {
                qDebug() << request.origin() << ":" << request.scheme();
            });
}

void RegisterPage::leave()
{
    if (QWidget *v = view())
        v->close();
    deleteLater();
}

bool RegisterPage::acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame)
{
    qDebug() << url << QMetaEnum::fromType<NavigationType>().valueToKey(type) << isMainFrame;
    const QString text = url.toString();
    if (text.contains(QLatin1String("forgetpassword"))
        || text.contains(QLatin1String("WebComCharge.aspx"))
        || text.contains(QLatin1String("ServiceAgreement.aspx"))) {
        leave();
        if (dialog)
            dialog->close();
        emit close();
        QDesktopServices::openUrl(url);
        return false;
    }
    if (text.contains(QLatin1String("main.html"))) {
        leave();
        emit registerLogin(url);
        return false;
    }
    if (dialog)
        dialog->showMaximized();
    return true;
}
