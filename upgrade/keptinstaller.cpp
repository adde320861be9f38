#include "keptinstaller.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace KeptInstaller {

QString folder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) +
           QStringLiteral("/kept-installer");
}

QString path(const QString &installerName)
{
    return folder() + QLatin1Char('/') + installerName;
}

QString keep(const QString &from, const QString &installerName)
{
    const QString dir = folder();
    if (!QDir().mkpath(dir) ||
        !QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
        return QStringLiteral("the folder %1 cannot be made for it").arg(dir);
    removeAllBut(QString());
    const QString target = path(installerName);
    QFile file(from);
    // Same file system as a rule; otherwise QFile copies and removes the source.
    if (!file.rename(target))
        return QStringLiteral("it cannot be moved to %1: %2").arg(target, file.errorString());
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return QString();
}

void removeAllBut(const QString &offered)
{
    QDir dir(folder());
    const QStringList names = dir.entryList(QDir::Files | QDir::System | QDir::Hidden);
    for (const QString &name : names) {
        if (name == offered)
            continue;
        qDebug().noquote() << "kept installer removed, no longer offered:" << dir.filePath(name);
        dir.remove(name);
    }
}

} // namespace KeptInstaller
