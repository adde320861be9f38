#include "productwebbridge.h"

#include "deviceidentity.h"
#include "loginrecord.h"

ProductWebBridge::ProductWebBridge(PluginManagerInterface *pluginManager)
    : pluginManager(pluginManager)
{}

void ProductWebBridge::loginOut()
{
    if (!access.admits("loginOut"))
        return;
    if (pluginManager)
        pluginManager->sendMessage(OpenLogin, QString());
}

void ProductWebBridge::reload()
{
    if (!access.admits("reload"))
        return;
    if (pluginManager)
        pluginManager->sendMessage(ReloadView, QString());
}

QString ProductWebBridge::wi()
{
    if (!access.admits("wi"))
        return QString();
    return DeviceIdentity::deviceId();
}

QString ProductWebBridge::curretUser()
{
    if (!access.admits("curretUser"))
        return QString();
    const LoginRecord::Loaded record = LoginRecord::load();
    return record.opened ? LoginRecord::userAnswer(record) : QString();
}

QString ProductWebBridge::deviceInfo()
{
    if (!access.admits("deviceInfo"))
        return QString();
    return DeviceIdentity::computerInfo();
}
