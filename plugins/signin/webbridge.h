#pragma once

#include "bridgeaccess.h"
#include "pluginmanagerinterface.h"

#include <QJsonObject>
#include <QObject>
#include <QString>

// The login page's native object ("qt" on its web channel): stores a login,
// reads back the remembered one and the device identity, and asks the host to
// switch to the workspace, set the title or tray tool tip, or reload.
// The slot order is what pages see; do not reorder.
class WebBridge final : public QObject
{
    Q_OBJECT

public:
    WebBridge(PluginManagerInterface *manager, const QString &loginUrl);

    // Calls are answered only while the page shows one of the service's own pages.
    void setAccess(const BridgeAccess &access) { this->access = access; }

    // The address herfClick opens for path: paths starting with "/" (also "//host/x")
    // stay on the login server; other addresses are taken as they are.
    static QUrl herfAddress(const QString &loginUrl, const QString &path);

public slots:
    void herfClick(QString path);
    QString wi();
    void logined(QString companyName, QString userName, QString productId, QString token,
                 QString loginUrl, QString quickLoginCode);
    void quicklogin(QString loginUrl);
    QString getToken(QString quickLoginCode);
    void loginOut();
    QString curretUser();
    QString deviceInfo();
    void sendMsg(QJsonObject msgObj);
    void reload();

private:
    void send(MessageType type, const QString &text);
    static QString toolTip(const QString &company, const QString &user);

    QString productName;
    QString companyName;
    QString userName;
    QString loginUrl;
    PluginManagerInterface *manager;
    BridgeAccess access;
};
