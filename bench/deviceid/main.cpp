// deviceId with the identity cached in config.ini: calls per second.
#include "deviceidentity.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    DeviceIdentity::deviceId(); // fills the cache
    const int calls = 2000;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < calls; ++i)
        DeviceIdentity::deviceId();
    const double seconds = clock.nsecsElapsed() / 1e9;
    std::printf("| deviceId, cached | %d calls | %.3f s | %.0f calls/s | %.1f us/call |\n", calls,
                seconds, calls / seconds, seconds * 1e6 / calls);
    return 0;
}
