#include "productpage.h"

#include "clientsettings.h"
#include "desktophandoff.h"
#include "navigationrules.h"

#include <QDebug>
#include <QMetaEnum>
#include <QWidget>

ProductPage::ProductPage(std::shared_ptr<const TrustPolicy> policy, const QString &baseHost,
                         QWidget *container, int viewWidth, int viewHeight)
    : ServicePage(std::move(policy))
    , baseHost(baseHost)
    , container(container)
    , viewWidth(viewWidth)
    , viewHeight(viewHeight)
{
    // Invisible until the first navigation has been judged.
    container->setFixedWidth(0);
    container->setFixedHeight(0);
    connect(this, &QWebEnginePage::loadFinished, this, &ProductPage::onLoadFinished);
}

void ProductPage::triggerAction(WebAction action, bool)
{
    qDebug() << QMetaEnum::fromType<WebAction>().valueToKey(action);
}

QWebEnginePage *ProductPage::createWindow(WebWindowType)
{
    return this;
}

bool ProductPage::acceptWebNavigation(const QUrl &url, NavigationType type, bool isMainFrame)
{
    qDebug() << "productpage"
             << "ProductPage::acceptNavigationRequest" << 52
             << QMetaEnum::fromType<NavigationType>().valueToKey(type) << url << isMainFrame;
    qDebug() << "productpage"
             << "ProductPage::acceptNavigationRequest" << 53 << baseHost;
    return judgeNavigation(url, false);
}

bool ProductPage::acceptForeignSite(const QUrl &url, NavigationType type)
{
    qDebug() << "productpage"
             << "ProductPage::acceptNavigationRequest" << 52
             << QMetaEnum::fromType<NavigationType>().valueToKey(type) << url << true;
    // A download's own redirects (to a file host, say) stay with its carrier.
    if (isDownload)
        return true;
    if (navigated)
        return ServicePage::acceptForeignSite(url, type);
    return judgeNavigation(url, true);
}

bool ProductPage::judgeNavigation(const QUrl &url, bool foreign)
{
    const ClientSettings settings;
    const NavigationRules::PassResult pass = NavigationRules::secondaryPass(
        url.toString(), baseHost,
        NavigationRules::downloadEntries(settings.text(QStringLiteral("Sys/DownLoadFile"))));
    if (pass.isDownload)
        isDownload = true;
    // Another host of the service (Sys/TrustedHosts) is the service too.
    const bool passes =
        pass.isDownload || (!foreign && (pass.passes || trustPolicy()->isServiceOrigin(url)));
    if (passes || navigated) {
        if (!isDownload && container) {
            container->setMinimumHeight(600);
            container->setMinimumWidth(1100);
            container->move(viewWidth / 2 - 550, viewHeight / 2 - 300);
        }
        navigated = true;
        return true;
    }

    qDebug() << "open ulr" << url;
    DesktopHandOff::open(url);
    closeWindow();
    return false;
}

void ProductPage::onLoadFinished(bool ok)
{
    // A download carrier whose address turned out to be a page of another site: that
    // page is for the browser, not for an invisible window.
    if (ok && isDownload && trustPolicy()->isForeignSite(url())) {
        handForeignSiteToBrowser(url());
        closeWindow();
    }
}

void ProductPage::navigationHandedOff(const QUrl &)
{
    // A window opened only for a chat link (or a link nobody may open) has done its part.
    if (!navigated)
        closeWindow();
}

bool ProductPage::speaksForService() const
{
    return ServicePage::speaksForService() || (!navigated && openedByService);
}

void ProductPage::closeWindow()
{
    // The frame deletes itself, its view and this page once the engine's call has returned.
    if (container)
        container->close();
}
