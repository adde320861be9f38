#include "singleinstance.h"

#include <QLocalSocket>

// The operating-system parts, isRunning() and listen(), live in singleinstance_<os>.cpp.

SingleInstance::SingleInstance(const QString &key, QObject *parent)
    : QObject(parent)
    , key(key)
{
    connect(&server, &QLocalServer::newConnection, this, &SingleInstance::onNewConnection);
}

bool SingleInstance::answers(int timeoutMs) const
{
    QLocalSocket socket;
    socket.connectToServer(key, QIODevice::ReadWrite);
    return socket.waitForConnected(timeoutMs);
}

QString SingleInstance::errorString() const
{
    return server.errorString();
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
