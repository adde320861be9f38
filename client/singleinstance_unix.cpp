#include "singleinstance.h"

#include <QDir>
#include <QLockFile>

bool SingleInstance::isRunning()
{
    return answers(30000);
}

bool SingleInstance::listen()
{
    m_lostToRunning = false;
    // Starts racing each other are serialised, so that between "nobody answers"
    // and "remove the stale name" no other start can claim the name.
    QLockFile lock(QDir(QDir::tempPath()).filePath(key + QStringLiteral(".lock")));
    lock.setStaleLockTime(0);
    lock.tryLock(30000);

    // No socket options: with them Qt binds elsewhere and renames the socket over
    // an existing one, which would silently take the name from a live instance.
    if (server.listen(key))
        return true;
    if (server.serverError() != QAbstractSocket::AddressInUseError)
        return false;
    if (answers(2000)) {
        m_lostToRunning = true;
        return false;
    }
    QLocalServer::removeServer(key);
    return server.listen(key);
}
