#pragma once

#include "plugininterface.h"
#include "pluginmanagerinterface.h"

#include <QObject>
#include <QPointer>
#include <QProgressBar>

#include "productwebengineview.h"

class ProductMainPage;

// The workspace module: the service's pages after login, with their progress bar,
// bridge, chat schemes and secondary windows.
class Product final : public QObject, public PluginInterface
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "com.interface.mervoclient")
    Q_INTERFACES(PluginInterface)

public:
    QString description() override;
    QString name() override;
    QString id() override;
    PluginType type() override;
    void registerMessage() override;
    void unRegisterMessage() override;
    void init(const QObject *manager) override;
    void castMessage(MessageType type, QString message) override;
    QLayout *centerLayout(QString url) override;
    void release() override;
    QWebEngineView *getWeb() override;
    QUrl getLoadUrl() override;
    QAction *getAction() override;

    void outlick();

private:
    void reload(bool ok);
    void onServiceError();
    void deleteCookie(QWebEnginePage *page);
    void clearLoginSession();
    ProductMainPage *newWorkspacePage(const std::shared_ptr<const TrustPolicy> &policy);

    PluginManagerInterface *pluginManager = nullptr;
    QPointer<ProductWebEngineView> view;
    QPointer<QProgressBar> progressBar;
    int loadCount = 0;
    bool reloadedAfterError = false;
    bool loginSessionCleared = false;
};
