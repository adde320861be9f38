#pragma once

#include "messagetype.h"
#include "plugintype.h"

#include <QObject>
#include <QString>
#include <QUrl>

class QAction;
class QLayout;
class QWebEngineView;

// The contract every module plug-in implements. The slot order is binding between
// the client and the plug-ins; there is deliberately no virtual destructor, since
// the host never deletes a plug-in through this interface.
class PluginInterface
{
public:
    virtual QString description() = 0;
    virtual QString name() = 0;
    virtual QString id() = 0;
    virtual PluginType type() = 0;
    virtual void registerMessage() = 0;
    virtual void unRegisterMessage() = 0;
    virtual void init(const QObject *manager) = 0;
    virtual void castMessage(MessageType type, QString message) = 0;
    virtual QLayout *centerLayout(QString argument) = 0;
    virtual void release() = 0;
    virtual QWebEngineView *getWeb() = 0;
    virtual QUrl getLoadUrl() = 0;
    virtual QAction *getAction() = 0;
};

#define PluginInterface_iid "com.interface.mervoclient"
Q_DECLARE_INTERFACE(PluginInterface, PluginInterface_iid)

// Plug-in ids the host itself refers to.
#define MERVO_LOGIN_PLUGIN_ID "com.interface.model.login"
#define MERVO_PRODUCT_PLUGIN_ID "com.interface.model.product"
