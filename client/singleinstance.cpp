#include "singleinstance.h"

#include <QLocalSocket>

// The operating-system parts (serverName, isRunning, listen, releaseGuard) live in
// singleinstance_<os>.cpp.

SingleInstance::SingleInstance(const QString &key, QObject *parent)
    : QObject(parent)
    , key(key)
    , name(serverName(key))
{
    connect(&server, &QLocalServer::newConnection, this, &SingleInstance::onNewConnection);
}

SingleInstance::~SingleInstance()
{
    server.close();
    releaseGuard();
}

bool SingleInstance::answers(int timeoutMs) const
{
    if (name.isEmpty())
        return false;
    QLocalSocket socket;
    socket.connectToServer(name, QIODevice::ReadWrite);
    return socket.waitForConnected(timeoutMs);
}

QString SingleInstance::errorString() const
{
    return m_error.isEmpty() ? server.errorString() : m_error;
}

void SingleInstance::onNewConnection()
{
    // The connection carries no data; accept and drop it so later starts never
    // fill the pending queue.
    while (QLocalSocket *socket = server.nextPendingConnection()) {
        socket->disconnectFromServer();
        socket->deleteLater();
    }
    emit newInstanceCreated();
}
