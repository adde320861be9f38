#include "productmainpage.h"

#include "messagebox.h"
#include "navigationrules.h"

#include <QDebug>
#include <QMetaEnum>

ProductMainPage::ProductMainPage(std::shared_ptr<const TrustPolicy> policy)
    : ServicePage(std::move(policy))
{}

bool ProductMainPage::acceptWebNavigation(const QUrl &url, NavigationType type, bool isMainFrame)
{
    const QString text = url.toString();
    if (m_baseHost.isEmpty())
        m_baseHost = NavigationRules::baseHostOf(text);
    const char *typeName = QMetaEnum::fromType<NavigationType>().valueToKey(type);
    qDebug() << "productmainpage"
             << "ProductMainPage::acceptNavigationRequest" << 23 << typeName << url << isMainFrame;
    qDebug() << "productmainpage"
             << "ProductMainPage::acceptNavigationRequest" << 24 << m_baseHost;
    if (NavigationRules::leavesService(text, m_baseHost, type, isMainFrame)) {
        qDebug() << "login out case url:" << url;
        emit outlick();
        return false;
    }
    return true;
}

bool ProductMainPage::acceptForeignSite(const QUrl &url, NavigationType type)
{
    // The log-out rule first: a redirect away from the service ends the session.
    return acceptWebNavigation(url, type, true) && ServicePage::acceptForeignSite(url, type);
}

void ProductMainPage::javaScriptAlert(const QUrl &, const QString &msg)
{
    runJavaScript(QStringLiteral("$common.disableScreen();"));
    MessageBox box(false);
    box.setText(msg);
    box.setModal(true);
    box.exec();
    runJavaScript(QStringLiteral("$common.enableScreen();"));
}

bool ProductMainPage::javaScriptConfirm(const QUrl &, const QString &msg)
{
    runJavaScript(QStringLiteral("$common.disableScreen();"));
    MessageBox box(true);
    box.setText(msg);
    box.setModal(true);
    const bool accepted = box.exec() == 1;
    runJavaScript(QStringLiteral("$common.enableScreen();"));
    return accepted;
}
