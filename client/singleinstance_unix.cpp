#include "singleinstance.h"

#include <QDeadlineTimer>
#include <QDebug>
#include <QDir>
#include <QLockFile>
#include <QStandardPaths>

#include <cerrno>

#include <poll.h>
#include <sys/socket.h>

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

SingleInstance::Answer SingleInstance::awaitAnswer(QLocalSocket &socket, int answerMs)
{
    // Read from the descriptor itself: Qt reports a reset and an orderly close alike. A
    // client killed a moment ago still holds its listening socket until the system has
    // closed its files: the call connects, and is reset once the socket goes. Only that
    // reset frees the name; any other failure is taken for a client that is there.
    const int fd = int(socket.socketDescriptor());
    QDeadlineTimer deadline(answerMs);
    for (;;) {
        pollfd entry{fd, POLLIN, 0};
        const int ready = ::poll(&entry, 1, int(deadline.remainingTime()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return Answer::Busy;
        char byte = 0;
        if (::recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT) >= 0)
            return Answer::Woken;
        if (errno == ECONNRESET)
            return Answer::Nobody;
        if ((errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) || deadline.hasExpired())
            return Answer::Busy;
    }
}

void SingleInstance::releaseGuard()
{}
