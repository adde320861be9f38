#pragma once

#include <QList>
#include <QString>

// Out-of-process window handling for tests of the real programs under Xvfb, the
// way a window manager would do it.
namespace XWindows {

// Top-level windows that belong to process pid (by _NET_WM_PID) and whose title
// is title (empty: any title).
QList<unsigned long> windowsOf(qint64 pid, const QString &title = QString());

// Whether the window is mapped and viewable.
bool isViewable(unsigned long window);

// Asks the window to close, as a title-bar close button does (WM_DELETE_WINDOW).
bool requestClose(unsigned long window);

// Whether a system tray (XEmbed tray manager) runs on the display.
bool trayAvailable();

} // namespace XWindows
