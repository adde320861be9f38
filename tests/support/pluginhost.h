#pragma once

#include "plugininterface.h"
#include "pluginmanagerinterface.h"

#include <QList>
#include <QObject>
#include <QPair>
#include <QPluginLoader>
#include <QStringList>
#include <QUrl>
#include <QWidget>

#include <functional>

// A host for one module plug-in in tests: loads the built library, hands it this
// object as its manager, records every message it sends, and reacts to reload
// requests the way the client's main window does.
class PluginHost final : public QObject, public PluginManagerInterface
{
    Q_OBJECT
    Q_INTERFACES(PluginManagerInterface)

public:
    using Message = QPair<MessageType, QString>;

    explicit PluginHost(const QString &libraryPath);
    ~PluginHost() override;

    bool load();
    PluginInterface *plugin() const { return m_plugin; }
    QString errorString() const { return m_loader.errorString(); }

    // centerLayout(argument) installed in a shown window; false when it gave no layout.
    bool show(const QString &argument = QString());
    void release();
    QWidget *window() { return &m_window; }

    QList<Message> messages;
    QList<Message> registrations;
    // Called after recording each message; the default reacts to ReloadView.
    std::function<void(MessageType, const QString &)> onMessage;

    QStringList texts(MessageType type) const;
    int count(MessageType type) const { return texts(type).size(); }

    void sendMessage(MessageType type, QString message) override;
    void registerMessage(MessageType type, QString pluginId) override;
    void unRegisterMessage(MessageType type, QString pluginId) override;
    QWidget *getMainWindow() override { return &m_window; }

    // The client's reload: reload an http(s) page, otherwise load the plug-in's URL.
    void reloadView();

private:
    QPluginLoader m_loader;
    PluginInterface *m_plugin = nullptr;
    QWidget m_window;
};
