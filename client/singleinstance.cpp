#include "singleinstance.h"

#include <QDebug>
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

SingleInstance::Answer SingleInstance::answer(int connectMs, int answerMs) const
{
    if (name.isEmpty())
        return Answer::Nobody;
    QLocalSocket socket;
    socket.connectToServer(name, QIODevice::ReadWrite);
    if (!socket.waitForConnected(connectMs))
        return Answer::Nobody;
    const Answer answer = awaitAnswer(socket, answerMs);
    if (answer == Answer::Nobody)
        qInfo() << "single instance: the client holding" << name
                << "went away without answering";
    if (answer != Answer::Busy)
        return answer;
    qInfo() << "single instance: the client holding" << name << "has not answered within"
            << answerMs << "ms; taking it for a running client that is busy";
    return Answer::Busy;
}

QString SingleInstance::errorString() const
{
    return m_error.isEmpty() ? server.errorString() : m_error;
}

void SingleInstance::onNewConnection()
{
    // A later start sends nothing and waits for its call to be closed: that is the answer.
    // Each connection is dropped at once, so later starts never fill the pending queue.
    while (QLocalSocket *socket = server.nextPendingConnection()) {
        socket->disconnectFromServer();
        socket->deleteLater();
    }
    emit newInstanceCreated();
}
