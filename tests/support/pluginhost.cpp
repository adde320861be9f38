#include "pluginhost.h"

#include <QCoreApplication>
#include <QLayout>
#include <QWebEngineView>

PluginHost::PluginHost(const QString &libraryPath)
    : m_loader(libraryPath)
{
    m_window.resize(1200, 800);
    onMessage = [this](MessageType type, const QString &) {
        if (type == ReloadView)
            reloadView();
    };
}

PluginHost::~PluginHost()
{
    release();
    // Pages must be gone before the web profile shuts down with the application.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

bool PluginHost::load()
{
    m_plugin = qobject_cast<PluginInterface *>(m_loader.instance());
    if (!m_plugin)
        return false;
    m_plugin->init(this);
    m_plugin->registerMessage();
    return true;
}

bool PluginHost::show(const QString &argument)
{
    delete m_window.layout();
    QLayout *layout = m_plugin->centerLayout(argument);
    if (!layout)
        return false;
    m_window.setLayout(layout);
    m_window.show();
    return true;
}

void PluginHost::release()
{
    if (m_plugin && m_plugin->getWeb())
        m_plugin->release();
    delete m_window.layout();
}

QStringList PluginHost::texts(MessageType type) const
{
    QStringList out;
    for (const Message &m : messages)
        if (m.first == type)
            out << m.second;
    return out;
}

void PluginHost::sendMessage(MessageType type, QString message)
{
    messages << Message(type, message);
    if (onMessage)
        onMessage(type, message);
}

void PluginHost::registerMessage(MessageType type, QString pluginId)
{
    registrations << Message(type, pluginId);
}

void PluginHost::unRegisterMessage(MessageType type, QString pluginId)
{
    registrations.removeAll(Message(type, pluginId));
}

void PluginHost::reloadView()
{
    QWebEngineView *view = m_plugin ? m_plugin->getWeb() : nullptr;
    if (!view)
        return;
    if (view->url().scheme().startsWith(QLatin1String("http")))
        view->reload();
    else
        view->load(m_plugin->getLoadUrl());
}
