#include "autostart.h"

#include <QDir>
#include <QSettings>

namespace Autostart {

static const char runKey[] = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
static const char valueName[] = "MervoClient";

QString entryPath()
{
    return QString::fromLatin1(runKey);
}

QString desktopEntry(const QString &)
{
    return QString();
}

bool isEnabled()
{
    const QSettings run(QString::fromLatin1(runKey), QSettings::NativeFormat);
    return !run.value(QLatin1String(valueName)).toString().isEmpty();
}

bool setEnabled(bool enabled, const QString &program, QString *error)
{
    QSettings run(QString::fromLatin1(runKey), QSettings::NativeFormat);
    if (enabled)
        run.setValue(QLatin1String(valueName),
                     QLatin1Char('"') + QDir::toNativeSeparators(program) + QLatin1Char('"'));
    else
        run.remove(QLatin1String(valueName));
    run.sync();
    if (run.status() == QSettings::NoError)
        return true;
    *error = QStringLiteral("Run key not writable");
    return false;
}

} // namespace Autostart
