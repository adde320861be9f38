#pragma once

#include "bridgeaccess.h"
#include "pluginmanagerinterface.h"

#include <QObject>
#include <QString>

// The workspace page's native object ("qt" on its web channel): log out, reload,
// and read the device identity, the remembered user and the computer name.
// The slot order is what pages see; do not reorder.
class ProductWebBridge final : public QObject
{
    Q_OBJECT

public:
    explicit ProductWebBridge(PluginManagerInterface *pluginManager);

    // Calls are answered only while the page shows one of the service's own pages.
    void setAccess(const BridgeAccess &access) { this->access = access; }

public slots:
    void loginOut();
    void reload();
    QString wi();
    QString curretUser();
    QString deviceInfo();

private:
    PluginManagerInterface *pluginManager;
    BridgeAccess access;
};
