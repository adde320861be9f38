// xwin close PID TITLE | xwin viewable PID TITLE | xwin count PID | xwin tray
// Command-line access to the window helpers for out-of-process tests.
#include "xwindows.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.value(0) == QLatin1String("tray"))
        return XWindows::trayAvailable() ? 0 : 1;
    if (args.value(0) == QLatin1String("count") && args.size() == 2) {
        // Every top-level window of the process, mapped or not.
        std::printf("%d\n", int(XWindows::windowsOf(args[1].toLongLong()).size()));
        return 0;
    }
    if (args.size() != 3)
        return 2;
    const auto windows = XWindows::windowsOf(args[1].toLongLong(), args[2]);
    if (args[0] == QLatin1String("viewable")) {
        for (unsigned long w : windows)
            if (XWindows::isViewable(w))
                return 0;
        return 1;
    }
    if (args[0] == QLatin1String("close")) {
        for (unsigned long w : windows)
            if (XWindows::isViewable(w))
                return XWindows::requestClose(w) ? 0 : 1;
        return 1;
    }
    return 2;
}
