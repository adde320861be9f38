#include "productwebbridge.h"

#include "deviceidentity.h"
#include "loginrecord.h"

ProductWebBridge::ProductWebBridge(PluginManagerInterface *pluginManager)
    : pluginManager(pluginManager)
{
}

void ProductWebBridge::loginOut()
{
    if (pluginManager)
        pluginManager->sendMessage(OpenLogin, QString());
}

void ProductWebBridge::reload()
{
    if (pluginManager)
        pluginManager->sendMessage(ReloadView, QString());
}

QString ProductWebBridge::wi()
{
    return DeviceIdentity::deviceId();
}

QString ProductWebBridge::curretUser()
{
    const LoginRecord::Loaded record = LoginRecord::load();
    return record.opened ? LoginRecord::userAnswer(record) : QString();
}

QString ProductWebBridge::deviceInfo()
{
    return DeviceIdentity::computerInfo();
}
