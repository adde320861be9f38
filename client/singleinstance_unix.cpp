#include "singleinstance.h"

#include <QDebug>
#include <QDir>
#include <QLockFile>
#include <QStandardPaths>

QString SingleInstance::serverName(const QString &key)
{
    // XDG_RUNTIME_DIR, else a folder of the user's own under the temporary folder; both
    // are checked to belong to the user alone (owner-only rights), so no other user can
    // hold or answer on the name.
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        return QString();
    return QDir(folder).filePath(key);
}

bool SingleInstance::isRunning()
{
    return answers(30000, 5000);
}

bool SingleInstance::listen()
{
    m_lostToRunning = false;
    m_error.clear();
    if (name.isEmpty()) {
        m_error = QStringLiteral("no private runtime folder for the single-instance name");
        return false;
    }
    // Starts racing each other are serialised, so that between "nobody answers"
    // and "remove the stale name" no other start can claim the name.
    const QString lockPath = name + QStringLiteral(".lock");
    QLockFile lock(lockPath);
    lock.setStaleLockTime(0);
    const bool locked = lock.tryLock(30000);
    if (!locked)
        qWarning() << "single instance: lock not taken within 30 s:" << lockPath << "error"
                   << lock.error();

    // No socket options: with them Qt binds elsewhere and renames the socket over
    // an existing one, which would silently take the name from a live instance.
    if (server.listen(name))
        return true;
    if (server.serverError() != QAbstractSocket::AddressInUseError)
        return false;
    if (answers(2000, 2000)) {
        m_lostToRunning = true;
        return false;
    }
    // Without the lock another start may be between these steps: leave its name alone.
    if (!locked) {
        m_error = QStringLiteral("the single-instance lock is held by a start that does not "
                                 "finish: ") +
                  lockPath;
        return false;
    }
    QLocalServer::removeServer(name);
    return server.listen(name);
}

void SingleInstance::releaseGuard()
{}
