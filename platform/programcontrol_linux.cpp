#include "programcontrol.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

namespace ProgramControl {

QString executableName(const QString &baseName)
{
    return baseName;
}

static QString imageNameOf(const QString &pid)
{
    QString target = QFile::symLinkTarget(QStringLiteral("/proc/%1/exe").arg(pid));
    if (target.isEmpty())
        return QString();
    // A replaced or deleted executable still identifies its process.
    const QString deleted = QStringLiteral(" (deleted)");
    if (target.endsWith(deleted))
        target.chop(deleted.size());
    return QFileInfo(target).fileName();
}

static bool ownedByCurrentUser(const QString &pid)
{
    struct stat st;
    const QByteArray path = QStringLiteral("/proc/%1").arg(pid).toLocal8Bit();
    return ::stat(path.constData(), &st) == 0 && st.st_uid == ::getuid();
}

int endProgramByImageName(const QString &imageName)
{
    if (imageName.isEmpty())
        return 0;
    const QString self = QString::number(::getpid());
    QStringList ended;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &pid : entries) {
        bool numeric = false;
        pid.toInt(&numeric);
        if (!numeric || pid == self || !ownedByCurrentUser(pid))
            continue;
        if (imageNameOf(pid) == imageName && ::kill(pid.toInt(), SIGKILL) == 0)
            ended << pid;
    }
    // Wait, as taskkill does, until the processes are really gone (or zombies).
    QElapsedTimer timer;
    timer.start();
    for (const QString &pid : qAsConst(ended)) {
        while (timer.elapsed() < 10000) {
            QFile status(QStringLiteral("/proc/%1/stat").arg(pid));
            if (!status.open(QIODevice::ReadOnly))
                break;
            const QByteArray stat = status.readAll();
            const int close = stat.lastIndexOf(')');
            if (close < 0 || stat.mid(close + 2, 1) == "Z")
                break;
            QThread::msleep(10);
        }
    }
    return ended.size();
}

bool startDetached(const QString &program, const QStringList &arguments)
{
    QFile file(program);
    file.setPermissions(file.permissions() | QFileDevice::ExeOwner | QFileDevice::ExeUser);
    // The caller's output may be a pipe to a process that is about to end (the updater's
    // to the client it ends); the detached program must not write into it.
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    return process.startDetached();
}

} // namespace ProgramControl
