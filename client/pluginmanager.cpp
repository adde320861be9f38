#include "pluginmanager.h"

#include "mainwindow.h"
#include "plugininterface.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QLibrary>
#include <QMutex>
#include <QPluginLoader>

#include <exception>
#include <memory>

PluginManager::PluginManager(QObject *parent)
    : QObject(parent)
{}

PluginManager::~PluginManager()
{
    qDeleteAll(plugins);
    qDeleteAll(messages);
}

PluginManager *PluginManager::instance()
{
    static std::unique_ptr<PluginManager> holder;
    static QBasicAtomicPointer<PluginManager> created = Q_BASIC_ATOMIC_INITIALIZER(nullptr);
    static QMutex mutex;
    if (!created.loadAcquire()) {
        QMutexLocker locker(&mutex);
        if (!created.loadAcquire()) {
            holder.reset(new PluginManager);
            created.storeRelease(holder.get());
        }
    }
    return created.loadAcquire();
}

// The Qt major version a library was linked against, from the Qt core library it names
// (libQt5Core.so.5, Qt6Core.dll); 0 when it names none.
static int qtMajorOf(const QString &path)
{
    QFile file(path);
    // A plug-in is a few MiB; anything far larger is not looked through.
    if (!file.open(QIODevice::ReadOnly) || file.size() > 256 * 1024 * 1024)
        return 0;
    const uchar *bytes = file.map(0, file.size());
    if (!bytes)
        return 0;
    const QByteArray content =
        QByteArray::fromRawData(reinterpret_cast<const char *>(bytes), int(file.size()));
    for (const int major : {5, 6, 7})
        if (content.contains("Qt" + QByteArray::number(major) + "Core"))
            return major;
    return 0;
}

PluginInterface *PluginManager::pluginOf(QPluginLoader *loader)
{
    if (!loader || !loader->isLoaded())
        return nullptr;
    return qobject_cast<PluginInterface *>(loader->instance());
}

QHash<QString, QPluginLoader *> PluginManager::loadPlugins(MainWindow *window)
{
    this->window = window;
    const QDir dir = QDir::current();
    qDebug() << "load plugins path:" << dir.absolutePath();
    const QStringList entries = dir.entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QString &entry : entries) {
        try {
            const QString path = dir.absoluteFilePath(entry);
            if (!path.contains(QStringLiteral("_pl")))
                continue;
            qDebug() << "load plugin" << path;
            loadPlugin(path);
        } catch (const std::exception &ex) {
            const char *text = ex.what();
            qDebug() << "ex:" << (text && *text ? text : "Unknown exception");
        }
    }
    return plugins;
}

bool PluginManager::loadPlugin(const QString &path)
{
    if (!QLibrary::isLibrary(path))
        return false;
    auto *loader = new QPluginLoader(path);
    // Objects of a plug-in (views scheduled for deletion) may outlive its
    // unloading at shut-down; keeping the code mapped makes that safe.
    loader->setLoadHints(QLibrary::PreventUnloadHint);
    loader->load();
    PluginInterface *plugin = pluginOf(loader);
    if (plugin) {
        const QString id = plugin->id();
        if (plugins.contains(id)) {
            loader->unload();
            delete loader;
            return false;
        }
        plugin->init(this);
        plugin->registerMessage();
        plugins.insert(id, loader);
        return true;
    }
    if (!loader->isLoaded()) {
        // Qt does not load a plug-in of another major version; say so plainly.
        const int major = qtMajorOf(path);
        if (major != 0 && major != QT_VERSION_MAJOR)
            qWarning().noquote() << QStringLiteral("plugin built for Qt %1, client runs Qt %2: %3")
                                        .arg(major)
                                        .arg(QT_VERSION_MAJOR)
                                        .arg(path);
        else
            qDebug() << loader->errorString();
    }
    delete loader;
    return false;
}

void PluginManager::showPlugin(const QString &id, const QString &argument)
{
    qDebug() << "load  plugin widget:" << id;
    QPluginLoader *loader = plugins.value(id);
    if (loader) {
        if (PluginInterface *plugin = pluginOf(loader); plugin && window)
            window->setCentralPlugin(plugin, argument);
        return;
    }
    qDebug() << "not find plugin:" << id;
}

bool PluginManager::unloadPlugin(const QString &id)
{
    QPluginLoader *loader = plugins.value(id);
    if (!loader)
        return false;
    plugins.remove(id);
    if (PluginInterface *plugin = pluginOf(loader))
        plugin->unRegisterMessage();
    if (!loader->unload())
        return false;
    delete loader;
    return true;
}

void PluginManager::releasePlugins()
{
    const QStringList ids = plugins.keys();
    for (const QString &id : ids)
        unloadPlugin(id);
    // Only the window's destructor releases the plug-ins: it is going too.
    window = nullptr;
}

void PluginManager::sendMessage(MessageType type, QString message)
{
    handleMessage(type, message);
    const QStringList *receivers = messages.value(type);
    if (!receivers || receivers->isEmpty())
        return;
    // A copy: a receiver may register, unregister or send while being called.
    const QStringList ids = *receivers;
    for (const QString &id : ids) {
        if (PluginInterface *plugin = pluginOf(plugins.value(id)))
            plugin->castMessage(type, message);
    }
}

void PluginManager::handleMessage(MessageType type, QString message)
{
    switch (type) {
    case OpenWorkspace:
        showPlugin(QStringLiteral(MERVO_PRODUCT_PLUGIN_ID), message);
        break;
    case CloseWindow:
        if (window)
            window->close();
        break;
    case OpenLogin:
        showPlugin(QStringLiteral(MERVO_LOGIN_PLUGIN_ID), message);
        break;
    case ReloadView:
        qDebug() << "...time out reload...";
        if (window)
            window->reloadView();
        break;
    case SetTrayToolTip:
        if (window)
            window->setTrayToolTip(message.split(QLatin1Char('|'), Qt::KeepEmptyParts));
        break;
    case SetWindowTitle:
        if (window)
            window->setWindowTitle(message);
        break;
    case DownloadFinished:
        if (window)
            window->downloadFinished(message);
        break;
    case DownloadsRunning:
        downloadsRunning = qMax(0, message.toInt());
        break;
    default:
        break;
    }
}

void PluginManager::cancelDownloads()
{
    qDebug() << "cancel downloads:" << downloadsRunning;
    for (QPluginLoader *loader : qAsConst(plugins)) {
        if (PluginInterface *plugin = pluginOf(loader))
            plugin->castMessage(CancelDownloads, QString());
    }
}

void PluginManager::registerMessage(MessageType type, QString pluginId)
{
    QStringList *&list = messages[type];
    if (!list)
        list = new QStringList;
    list->append(pluginId);
}

void PluginManager::unRegisterMessage(MessageType type, QString pluginId)
{
    QStringList *list = messages.value(type);
    if (!list)
        return;
    list->removeAll(pluginId);
    if (list->isEmpty()) {
        messages.remove(type);
        delete list;
    }
}

QWidget *PluginManager::getMainWindow()
{
    return window;
}
