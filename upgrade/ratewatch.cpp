#include "ratewatch.h"

#include <QString>

RateWatch::RateWatch(qint64 windowMs)
    : windowMs(qMax<qint64>(1, windowMs))
{}

void RateWatch::add(qint64 msecs, qint64 bytes)
{
    samples.push_back({msecs, bytes});
    // One sample at or before the window's start is enough to measure the window.
    while (samples.size() > 1 && samples[1].msecs <= msecs - windowMs)
        samples.pop_front();
}

bool RateWatch::tooSlow() const
{
    if (samples.size() < 2)
        return false;
    const Sample &first = samples.front();
    const Sample &last = samples.back();
    const qint64 span = last.msecs - first.msecs;
    if (span < windowMs)
        return false;
    return (last.bytes - first.bytes) * 1000 < qint64(MinBytesPerSecond) * span;
}

qint64 RateWatch::recentRate() const
{
    if (samples.size() < 2)
        return 0;
    const std::size_t from = samples.size() > 5 ? samples.size() - 5 : 0;
    const Sample &first = samples[from];
    const Sample &last = samples.back();
    const qint64 span = last.msecs - first.msecs;
    return span > 0 ? (last.bytes - first.bytes) * 1000 / span : 0;
}

qint64 RateWatch::windowFromEnvironment()
{
    bool ok = false;
    const qint64 ms = qEnvironmentVariable("MERVO_TEST_RATE_WINDOW_MS").toLongLong(&ok);
    return ok && ms > 0 ? ms : DefaultWindowMs;
}
