#include "productpage.h"

#include "configfile.h"
#include "navigationrules.h"
#include "permissionlog.h"

#include <QDebug>
#include <QDesktopServices>
#include <QMetaEnum>
#include <QSettings>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWidget>

ProductPage::ProductPage(const QString &baseHost, QWidget *container, int viewWidth, int viewHeight)
    : QWebEnginePage(QWebEngineProfile::defaultProfile())
    , baseHost(baseHost)
    , container(container)
    , viewWidth(viewWidth)
    , viewHeight(viewHeight)
{
    // Invisible until the first navigation has been judged.
    container->setFixedWidth(0);
    container->setFixedHeight(0);
    settings()->setUnknownUrlSchemePolicy(QWebEngineSettings::AllowAllUnknownUrlSchemes);
    connect(this, &QWebEnginePage::featurePermissionRequested, this,
            &ProductPage::onFeaturePermissionRequested);
}

void ProductPage::triggerAction(WebAction action, bool)
{
    qDebug() << QMetaEnum::fromType<WebAction>().valueToKey(action);
}

QWebEnginePage *ProductPage::createWindow(WebWindowType)
{
    return this;
}

bool ProductPage::acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame)
{
    const QString text = url.toString();
    qDebug() << "productpage" << "ProductPage::acceptNavigationRequest" << 52
             << QMetaEnum::fromType<NavigationType>().valueToKey(type) << url << isMainFrame;
    qDebug() << "productpage" << "ProductPage::acceptNavigationRequest" << 53 << baseHost;

    QSettings settings(configFileName(), QSettings::IniFormat);
    const NavigationRules::PassResult pass = NavigationRules::secondaryPass(
        text, baseHost,
        NavigationRules::downloadEntries(
            settings.value(QStringLiteral("Sys/DownLoadFile")).toString()));
    if (pass.isDownload)
        isDownload = true;

    if (pass.passes || navigated) {
        if (!isDownload && container) {
            container->setMinimumHeight(600);
            container->setMinimumWidth(1100);
            container->move(viewWidth / 2 - 550, viewHeight / 2 - 300);
        }
        navigated = true;
        return true;
    }

    if (QWidget *v = view()) {
        v->deleteLater();
        v->close();
    }
    deleteLater();
    if (container)
        container->close();
    qDebug() << "open ulr" << url;
    QDesktopServices::openUrl(url);
    return false;
}

void ProductPage::onFeaturePermissionRequested(const QUrl &securityOrigin,
                                               QWebEnginePage::Feature feature)
{
    logPermissionRequest(securityOrigin, feature);
    setFeaturePermission(securityOrigin, feature,
                         NavigationRules::permissionFor(feature, securityOrigin, baseHost));
}
