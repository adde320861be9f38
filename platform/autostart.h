#pragma once

#include <QString>

// Starting the client with the user's desktop session: the XDG autostart entry on
// Linux, the current user's Run key on Windows. The system holds the state. On Linux the
// user's entry overrides an administrator's of the same name (/etc/xdg/autostart): with
// one there, switching off writes a hidden entry instead of removing the user's.
namespace Autostart {

bool isEnabled();
// Starts program at log-in (enabled) or no more; false with a reason when it fails.
bool setEnabled(bool enabled, const QString &program, QString *error);

// Linux: the entry's file and its text for program.
QString entryPath();
QString desktopEntry(const QString &program);

} // namespace Autostart
