#pragma once

#include "loginwebengine.h"
#include "plugininterface.h"
#include "pluginmanagerinterface.h"
#include "trustpolicy.h"

#include <QObject>
#include <QPointer>

#include <memory>

class QVBoxLayout;

// The login module: shows the service's login page for this device, with the page
// bridge, registration sub windows and chat-link interception.
class Login final : public QObject, public PluginInterface
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
    QLayout *centerLayout(QString argument) override;
    void release() override;
    QWebEngineView *getWeb() override;
    QUrl getLoadUrl() override;
    QAction *getAction() override;

private:
    QWebEngineView *getLoginWidget();
    static void logSetupIncomplete(const QString &loginUrl);
    QWebEnginePage *newLoginPage(const std::shared_ptr<const TrustPolicy> &policy,
                                 const QString &loginUrl);

    PluginManagerInterface *manager = nullptr;
    QVBoxLayout *layout = nullptr;
    QPointer<LoginWebEngine> view;
};
