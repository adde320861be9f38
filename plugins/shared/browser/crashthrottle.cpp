#include "crashthrottle.h"

CrashThrottle::CrashThrottle(int maxCrashes, qint64 windowMs)
    : maxCrashes(maxCrashes)
    , windowMs(windowMs)
{
    clock.start();
}

bool CrashThrottle::allowReload()
{
    return allowReload(clock.elapsed());
}

bool CrashThrottle::allowReload(qint64 nowMs)
{
    crashes.append(nowMs);
    while (!crashes.isEmpty() && nowMs - crashes.first() >= windowMs)
        crashes.removeFirst();
    return crashes.size() < maxCrashes;
}
