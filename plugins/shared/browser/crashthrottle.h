#pragma once

#include <QElapsedTimer>
#include <QVector>

// Decides whether a crashed page may be reloaded once more: a page that crashes at
// every load would otherwise be reloaded for ever.
class CrashThrottle
{
public:
    explicit CrashThrottle(int maxCrashes = 3, qint64 windowMs = 60000);

    // Records a crash at nowMs (monotonic). False once maxCrashes fall within windowMs:
    // the page is then left as it is (the user can still reload by hand).
    bool allowReload(qint64 nowMs);
    bool allowReload();

private:
    int maxCrashes;
    qint64 windowMs;
    QVector<qint64> crashes;
    QElapsedTimer clock;
};
