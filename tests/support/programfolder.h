#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A fresh program folder for the real MervoClient: a copy of the binary (the
// client resolves its folder from its own executable), optional plug-ins, a
// stand-in updater and config.ini.
class ProgramFolder
{
public:
    explicit ProgramFolder(const QString &subPath = QString());

    QString path() const { return m_root; }
    QString filePath(const QString &name) const;

    bool addClient(const QString &clientBinary);
    bool addFile(const QString &source, const QString &name = QString());
    bool writeFile(const QString &name, const QByteArray &data, bool executable = false);
    QByteArray readFile(const QString &name) const;
    // A stand-in updater that records its arguments (one per line) in updater-args.txt,
    // appending one "--" line per run.
    bool addRecordingUpdater();
    void setConfig(const QString &key, const QString &value);
    QString config(const QString &key) const;

    // Starts the client (or program, a file of the folder) with output merged into a
    // log kept in the folder.
    QProcess *startClient(QObject *parent, const QString &program = QStringLiteral("MervoClient"));

private:
    QTemporaryDir m_dir;
    QString m_root;
};
