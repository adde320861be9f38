#include "clientsettings.h"

#include "configfile.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryFile>

// Whether Qt can write the file: it writes a new file beside it (and a lock file) and
// renames it, so the folder counts too. A package's program folder never counts, whoever
// runs the client: its config.ini is the administrator's file in /etc.
static bool isWritableInstallation(const QString &path)
{
    const QFileInfo info(path);
    if (info.isSymLink() ||
        QFile::exists(info.absoluteDir().filePath(QStringLiteral("updates-by-package-manager"))))
        return false;
    const QFileInfo folder(info.absolutePath());
    return folder.isDir() && folder.isWritable() && (!info.exists() || info.isWritable());
}

// More than any settings file holds; a bigger one is read only this far, and not written.
static constexpr qint64 maxFileBytes = 4 * 1024 * 1024;

// The lines of settings text Qt reads alone, and how many were left out.
static QByteArray soundLines(const QByteArray &content, int *dropped)
{
    QByteArray kept;
    *dropped = 0;
    for (const QByteArray &line : configTextWithoutMark(content).split('\n')) {
        if (configLineIsSound(line))
            kept += line + '\n';
        else
            ++*dropped;
    }
    return kept;
}

ClientSettings::ClientSettings()
    : ClientSettings(configFileName(), defaultUserFile(), defaultManagedFile())
{}

ClientSettings::ClientSettings(const QString &installationFile, const QString &userFile,
                               const QString &managedFile)
    : installationFile(installationFile)
    , userFile(userFile)
    , managedFile(managedFile)
    , installationWritable(isWritableInstallation(installationFile))
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
    const QString programData = qEnvironmentVariable("ProgramData");
    return programData.isEmpty() ? QString() : programData + QStringLiteral("/Mervo/managed.ini");
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

bool ClientSettings::writesInstallation() const
{
    return installationWritable;
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
    QString file = choicesFile();
    if (!installationWritable)
        QDir().mkpath(QFileInfo(file).absolutePath());
    // Written where a link points, so that the link stays.
    if (QFileInfo(file).isSymLink())
        file = QFileInfo(file).canonicalFilePath();
    // A damaged file is first written back from what can be read of it, in one step: Qt
    // would write only what it made of the damage, and the sound lines after it could be
    // lost. What is left out is kept aside first, or nothing is written.
    QFile existing(file);
    if (existing.size() > maxFileBytes) {
        qWarning().noquote() << "settings: over 4 MiB, not written:" << file
                             << "(" + name + " not kept)";
        return false;
    }
    if (existing.open(QIODevice::ReadOnly)) {
        const QByteArray content = existing.readAll();
        existing.close();
        if (configLooksDamaged(content)) {
            if (keepDamagedConfigAside(file).isEmpty()) {
                qWarning().noquote() << "settings: damaged, and no copy of it could be kept:"
                                     << file << "(" + name + " not written)";
                return false;
            }
            int dropped = 0;
            QSaveFile repaired(file);
            if (!repaired.open(QIODevice::WriteOnly) ||
                repaired.write(soundLines(content, &dropped)) < 0 || !repaired.commit()) {
                qWarning().noquote() << "settings: cannot write" << file << "(" + name + " not kept)";
                return false;
            }
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
    QByteArray content = file.read(maxFileBytes);
    const bool cut = !file.atEnd();
    file.close();
    if (cut) {
        content.truncate(content.lastIndexOf('\n') + 1);
        qWarning().noquote() << "settings: over 4 MiB, read only as far:" << path;
    }
    QString source = path;
    QTemporaryFile sound;
    if (cut || configLooksDamaged(content)) {
        int dropped = 0;
        const QByteArray kept = soundLines(content, &dropped);
        // Said once a run for each file: settings are read often.
        static QSet<QString> told;
        if (!told.contains(path)) {
            told.insert(path);
            qWarning().noquote() << "settings: damaged file, read without its" << dropped
                                 << "unreadable lines:" << path;
        }
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
