#include "autostart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace Autostart {

QString entryPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart/mervo-client.desktop");
}

// Exec= takes the path as one quoted argument, and the key's value is escaped again
// as a string (the installer's menu entry does the same).
static QString execValue(const QString &program)
{
    QString quoted;
    for (const QChar c : program) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
            c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    quoted = QLatin1Char('"') + quoted + QLatin1Char('"');
    quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    quoted.replace(QLatin1Char('%'), QStringLiteral("%%"));
    return quoted;
}

QString desktopEntry(const QString &program)
{
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Mervo客户端\n"
                          "Comment=Mervo business service\n"
                          "Exec=%1\n"
                          "Icon=mervo-client\n"
                          "Terminal=false\n"
                          "X-GNOME-Autostart-enabled=true\n")
        .arg(execValue(program));
}

// An entry an administrator put in a system folder (/etc/xdg/autostart), which the user's
// entry of the same name overrides.
static QString systemEntryPath()
{
    const QString own = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    for (const QString &dir : QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation)) {
        const QString path = dir + QStringLiteral("/autostart/mervo-client.desktop");
        if (dir != own && QFile::exists(path))
            return path;
    }
    return QString();
}

static bool entryEnabled(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // Desktops switch an entry off by these keys instead of removing it.
    const QList<QByteArray> lines = file.read(64 * 1024).split('\n');
    return !lines.contains("Hidden=true") && !lines.contains("X-GNOME-Autostart-enabled=false");
}

bool isEnabled()
{
    if (QFile::exists(entryPath()))
        return entryEnabled(entryPath());
    const QString system = systemEntryPath();
    return !system.isEmpty() && entryEnabled(system);
}

bool setEnabled(bool enabled, const QString &program, QString *error)
{
    const QString path = entryPath();
    const bool systemEntry = !systemEntryPath().isEmpty();
    if (!enabled && !systemEntry) {
        QFile file(path);
        if (!file.exists() || file.remove())
            return true;
        *error = file.errorString();
        return false;
    }
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        *error = QStringLiteral("cannot create ") + QFileInfo(path).absolutePath();
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return false;
    }
    // Off while a system entry is there: the user's own entry hides it.
    file.write(desktopEntry(program).toUtf8() +
               (enabled ? QByteArray() : QByteArrayLiteral("Hidden=true\n")));
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace Autostart
