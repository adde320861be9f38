#pragma once

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

// Stands in for the desktop's opener: an "xdg-open" first on PATH that records every
// address this process hands to the desktop (QDesktopServices ends there for any
// scheme without an in-process handler). Create it before anything is opened: Qt
// remembers the opener it found first.
class DesktopStandIn final
{
public:
    DesktopStandIn()
    {
        const QString script = dir.filePath("xdg-open");
        QFile file(script);
        if (file.open(QIODevice::WriteOnly)) {
            file.write(QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$1\" >> '%1'\n")
                           .arg(logPath())
                           .toUtf8());
            file.close();
            file.setPermissions(file.permissions() | QFile::ExeOwner);
        }
        qputenv("PATH", (dir.path() + QLatin1Char(':') + qEnvironmentVariable("PATH")).toUtf8());
    }

    // Addresses the desktop was asked to open, oldest first.
    QStringList opened() const
    {
        QFile log(logPath());
        if (!log.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    void clear() { QFile::remove(logPath()); }

private:
    QString logPath() const { return dir.filePath("opened.txt"); }

    QTemporaryDir dir;
};
