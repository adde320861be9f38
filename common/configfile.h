#pragma once

#include "qtcompat.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QString>
#include <QStringList>

// The shared settings file, opened by its bare name: every deliverable runs with
// the program folder as its current directory.
inline QString configFileName()
{
    return QStringLiteral("config.ini");
}

// A text setting. QSettings reads an unquoted value with commas as a list and writes
// that list back as "a, b" or with quoted parts; joined again with bare commas, the
// value reads the same before and after any write of the file.
inline QString configText(const QSettings &settings, const QString &key)
{
    const QVariant value = settings.value(key);
    if (value.userType() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}

// Whether one line of settings text reads the same alone as in its file: a section, a
// key, a comment or blank, in UTF-8 without control characters. A line that leaves a
// quote open or ends in a backslash would take the lines after it along.
inline bool configLineIsSound(const QByteArray &raw)
{
    for (const char c : raw)
        if (uchar(c) < 0x20 && c != '\t' && c != '\r')
            return false;
    const QByteArray line = raw.trimmed();
    if (line.isEmpty())
        return true;
    // Qt reads a quoted part across line ends, on any kind of line, and joins a line that
    // ends in a backslash with the next.
    // A ";" outside quotes starts a comment, whose quotes count for nothing.
    bool quoted = false;
    int end = line.size();
    for (int i = 0; i < line.size(); ++i) {
        if (line.at(i) == '\\')
            ++i;
        else if (line.at(i) == '"')
            quoted = !quoted;
        else if (line.at(i) == ';' && !quoted) {
            end = i;
            break;
        }
    }
    if (quoted || (end == line.size() && line.endsWith('\\')))
        return false;
    if (!QtCompat::isValidUtf8(line))
        return false;
    if (line.startsWith(';') || line.startsWith('#'))
        return true;
    // Qt reads a backslash in a name as "/" and drops the slashes at its ends: a name of
    // only those is none (Qt 6 then rejects the whole file).
    const auto named = [](const QByteArray &name) {
        for (const char c : name)
            if (c != '\\' && c != '/' && c != ' ' && c != '\t')
                return true;
        return false;
    };
    if (line.startsWith('['))
        return line.size() > 2 && line.indexOf(']') == line.size() - 1 &&
               line.indexOf('[', 1) < 0 && !line.contains('"') &&
               named(line.mid(1, line.size() - 2));
    const int equals = line.indexOf('=');
    return equals > 0 && named(line.left(equals));
}

// Settings text without the byte-order mark Windows editors write (QSettings reads past it).
inline QByteArray configTextWithoutMark(const QByteArray &content)
{
    return content.startsWith("\xEF\xBB\xBF") ? content.mid(3) : content;
}

// Whether settings text holds what QSettings cannot read, would read with the lines after
// it, or would drop when it writes the file again: any line that is not sound.
inline bool configLooksDamaged(const QByteArray &content)
{
    const QList<QByteArray> lines = configTextWithoutMark(content).split('\n');
    for (const QByteArray &line : lines)
        if (!configLineIsSound(line))
            return true;
    return false;
}

// A damaged settings file is copied aside ("config.ini.damaged", or with a time stamp when
// that exists) before anything writes to it, so what a repair needs is never lost. Returns
// the copy's path, or empty when the file is sound or absent.
inline QString keepDamagedConfigAside(const QString &path = configFileName())
{
    QFile file(path);
    if (!file.exists())
        return QString();
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning() << "config.ini: not readable:" << path << file.errorString();
        return QString();
    }
    const QByteArray content = file.readAll();
    file.close();
    QSettings settings(path, QSettings::IniFormat);
    if (settings.status() == QSettings::NoError && !configLooksDamaged(content))
        return QString();
    // One copy of each damaged content, and a few at most: a file that stays damaged is not
    // copied again at every start.
    const QFileInfo info(path);
    const QStringList kept = info.dir().entryList(
        {info.fileName() + QStringLiteral(".damaged*")}, QDir::Files, QDir::Time);
    for (const QString &name : kept) {
        QFile old(info.dir().filePath(name));
        if (old.size() == content.size() && old.open(QIODevice::ReadOnly) &&
            old.readAll() == content)
            return info.dir().filePath(name);
    }
    if (kept.size() >= 5) {
        qWarning() << "config.ini: damaged; five copies are kept already, no more:" << path;
        return QString();
    }
    QString copy = path + QStringLiteral(".damaged");
    if (QFile::exists(copy))
        copy += QDateTime::currentDateTime().toString(QStringLiteral("-yyyyMMdd-hhmmss"));
    if (!QFile::copy(path, copy)) {
        qWarning() << "config.ini: damaged, and no copy could be kept:" << copy;
        return QString();
    }
    qWarning() << "config.ini: damaged, a copy is kept as" << copy;
    return copy;
}
