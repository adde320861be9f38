#pragma once

#include "pluginmanagerinterface.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

class MainWindow;
class PluginInterface;
class QPluginLoader;

// Finds, loads, messages and unloads the module plug-ins of the program folder.
// Modules never call each other: they send messages here, the host reacts first,
// then the message goes on to every module registered for its type.
class PluginManager final : public QObject, public PluginManagerInterface
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "com.interface.pluginManager")
    Q_INTERFACES(PluginManagerInterface)

public:
    static PluginManager *instance();
    ~PluginManager() override;

    QHash<QString, QPluginLoader *> loadPlugins(MainWindow *window);
    bool loadPlugin(const QString &path);
    void showPlugin(const QString &id, const QString &argument);
    bool unloadPlugin(const QString &id);
    void releasePlugins();
    void handleMessage(MessageType type, QString message);

    // Downloads the modules reported running, and the request to cancel them all.
    int runningDownloads() const { return downloadsRunning; }
    void cancelDownloads();

    void sendMessage(MessageType type, QString message) override;
    void registerMessage(MessageType type, QString pluginId) override;
    void unRegisterMessage(MessageType type, QString pluginId) override;
    QWidget *getMainWindow() override;

    // Not for use: the instance entry point that moc exports for the program.
    explicit PluginManager(QObject *parent = nullptr);

private:
    static PluginInterface *pluginOf(QPluginLoader *loader);

    QHash<QString, QPluginLoader *> plugins;
    QHash<MessageType, QStringList *> messages;
    MainWindow *window = nullptr;
    int downloadsRunning = 0;
};
