#pragma once

#include "messagetype.h"

#include <QObject>
#include <QString>

class QWidget;

// How a module talks back to the host. The slot order is binding between the
// client and the plug-ins, which are compiled separately.
class PluginManagerInterface
{
public:
    virtual void sendMessage(MessageType type, QString message) = 0;
    virtual void registerMessage(MessageType type, QString pluginId) = 0;
    virtual void unRegisterMessage(MessageType type, QString pluginId) = 0;
    virtual QWidget *getMainWindow() = 0;
};

#define PluginManagerInterface_iid "com.interface.pluginManager"
Q_DECLARE_INTERFACE(PluginManagerInterface, PluginManagerInterface_iid)
