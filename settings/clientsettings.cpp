#include "clientsettings.h"

#include "configfile.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryFile>

static bool isWritablePath(const QString &path)
{
    const QFileInfo info(path);
    if (info.exists())
        return info.isWritable();
    return QFileInfo(info.absolutePath()).isWritable();
}

ClientSettings::ClientSettings()
    : ClientSettings(configFileName(), defaultUserFile(), defaultManagedFile())
{}

ClientSettings::ClientSettings(const QString &installationFile, const QString &userFile,
                               const QString &managedFile)
    : installationFile(installationFile)
    , userFile(userFile)
    , managedFile(managedFile)
    , installationWritable(isWritablePath(installationFile))
{
    installation = readFile(installationFile);
    if (!installationWritable)
        user = readFile(userFile);
    if (!managedFile.isEmpty())
        managed = readFile(managedFile);
}

QString ClientSettings::defaultUserFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Mervo/config.ini");
}

QString ClientSettings::defaultManagedFile()
{
    const QString moved = qEnvironmentVariable("MERVO_MANAGED_INI");
    if (!moved.isEmpty())
        return moved;
#ifdef Q_OS_WIN
    return qEnvironmentVariable("ProgramData") + QStringLiteral("/Mervo/managed.ini");
#else
    return QStringLiteral("/etc/mervo-client/managed.ini");
#endif
}

QString ClientSettings::normalized(const QString &key)
{
    return key.startsWith(QLatin1Char('/')) ? key.mid(1) : key;
}

QVariant ClientSettings::value(const QString &key, const QVariant &fallback) const
{
    const QString name = normalized(key);
    for (const QVariantMap *layer : {&managed, &user, &installation}) {
        const auto found = layer->constFind(name);
        if (found != layer->constEnd())
            return found.value();
    }
    return fallback;
}

QString ClientSettings::text(const QString &key) const
{
    const QVariant found = value(key);
    if (found.userType() == QMetaType::QStringList)
        return found.toStringList().join(QLatin1Char(','));
    return found.toString();
}

bool ClientSettings::isManaged(const QString &key) const
{
    return managed.contains(normalized(key));
}

QString ClientSettings::choicesFile() const
{
    return installationWritable ? installationFile : userFile;
}

bool ClientSettings::choicesWritable() const
{
    if (installationWritable)
        return true;
    // The user's folder is made when first written; what decides is the nearest folder
    // that is there.
    const QFileInfo info(userFile);
    if (info.exists())
        return info.isWritable();
    QString folder = info.absolutePath();
    while (!QFileInfo::exists(folder) && folder != QFileInfo(folder).absolutePath())
        folder = QFileInfo(folder).absolutePath();
    const QFileInfo nearest(folder);
    return nearest.isDir() && nearest.isWritable();
}

bool ClientSettings::setValue(const QString &key, const QVariant &value)
{
    const QString name = normalized(key);
    if (isManaged(name)) {
        qDebug().noquote() << "settings:" << name << "is set by the administrator, not changed";
        return false;
    }
    const QString file = choicesFile();
    if (!installationWritable)
        QDir().mkpath(QFileInfo(file).absolutePath());
    // A damaged file is first written back from what can be read of it: Qt would write
    // only what it made of the damage, and the sound lines after it could be lost.
    QFile existing(file);
    if (existing.open(QIODevice::ReadOnly)) {
        const QByteArray content = existing.readAll();
        existing.close();
        if (configLooksDamaged(content)) {
            keepDamagedConfigAside(file);
            const QVariantMap readable = readFile(file);
            QFile::remove(file);
            QSettings repaired(file, QSettings::IniFormat);
            for (auto it = readable.constBegin(); it != readable.constEnd(); ++it)
                repaired.setValue(it.key(), it.value());
        }
    }
    QSettings settings(file, QSettings::IniFormat);
    settings.setValue(name, value);
    settings.sync();
    if (settings.status() != QSettings::NoError) {
        qWarning().noquote() << "settings: cannot write" << file << "(" + name + " not kept)";
        return false;
    }
    (installationWritable ? installation : user).insert(name, value);
    return true;
}

QVariantMap ClientSettings::readFile(const QString &path)
{
    QVariantMap map;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return map;
    const QByteArray content = file.readAll();
    file.close();
    QString source = path;
    QTemporaryFile sound;
    if (configLooksDamaged(content)) {
        QByteArray kept;
        int dropped = 0;
        for (const QByteArray &line : configTextWithoutMark(content).split('\n')) {
            if (configLineIsSound(line))
                kept += line + '\n';
            else
                ++dropped;
        }
        qWarning().noquote() << "settings: damaged file, read without its" << dropped
                             << "unreadable lines:" << path;
        if (!sound.open() || sound.write(kept) != kept.size() || !sound.flush())
            return map;
        source = sound.fileName();
    }
    const QSettings settings(source, QSettings::IniFormat);
    for (const QString &key : settings.allKeys())
        if (!key.isEmpty())
            map.insert(key, settings.value(key));
    return map;
}
