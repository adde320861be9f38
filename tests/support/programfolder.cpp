#include "programfolder.h"

#include "configfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

ProgramFolder::ProgramFolder(const QString &subPath)
{
    m_root = subPath.isEmpty() ? m_dir.path() : m_dir.filePath(subPath);
    QDir().mkpath(m_root);
}

QString ProgramFolder::filePath(const QString &name) const
{
    return QDir(m_root).filePath(name);
}

bool ProgramFolder::addClient(const QString &clientBinary)
{
    return addFile(clientBinary, QStringLiteral("MervoClient"));
}

bool ProgramFolder::addFile(const QString &source, const QString &name)
{
    const QString target = filePath(name.isEmpty() ? QFileInfo(source).fileName() : name);
    QFile::remove(target);
    return QFile::copy(source, target);
}

bool ProgramFolder::writeFile(const QString &name, const QByteArray &data, bool executable)
{
    QFile file(filePath(name));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(data);
    file.close();
    if (executable)
        file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
    return true;
}

QByteArray ProgramFolder::readFile(const QString &name) const
{
    QFile file(filePath(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool ProgramFolder::addRecordingUpdater()
{
    return writeFile(QStringLiteral("MervoUpgrade"),
                     "#!/bin/sh\n"
                     "for a in \"$@\"; do printf '%s\\n' \"$a\"; done >> updater-args.txt\n"
                     "echo -- >> updater-args.txt\n",
                     true);
}

void ProgramFolder::setConfig(const QString &key, const QString &value)
{
    QSettings settings(filePath(QStringLiteral("config.ini")), QSettings::IniFormat);
    settings.setValue(key, value);
}

QString ProgramFolder::config(const QString &key) const
{
    const QSettings settings(filePath(QStringLiteral("config.ini")), QSettings::IniFormat);
    return configText(settings, key);
}

QProcess *ProgramFolder::startClient(QObject *parent, const QString &program)
{
    auto *process = new QProcess(parent);
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->setStandardOutputFile(filePath(QStringLiteral("client.log")), QIODevice::Append);
    process->setWorkingDirectory(QDir::tempPath());
    process->start(filePath(program), QStringList());
    return process;
}
