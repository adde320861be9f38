#pragma once

#include <QtGlobal>

#include <deque>

// Tells a download that moves too slowly to be worth waiting for: one that averaged
// less than MinBytesPerSecond over the last window. A server that drips a byte now and
// then never trips the silence timeout; this rule catches it, while a slow but real
// link of tens of KiB/s goes on.
class RateWatch final
{
public:
    explicit RateWatch(qint64 windowMs = DefaultWindowMs);

    // bytes: the total received msecs after the start. Called about once a second.
    void add(qint64 msecs, qint64 bytes);
    bool tooSlow() const;
    // Bytes per second over the last few samples, for people to see it move.
    qint64 recentRate() const;

    qint64 window() const { return windowMs; }

    // The window, shortened only by tests through MERVO_TEST_RATE_WINDOW_MS.
    static qint64 windowFromEnvironment();

    static const int MinBytesPerSecond = 1024;
    static const int DefaultWindowMs = 60000;

private:
    struct Sample
    {
        qint64 msecs;
        qint64 bytes;
    };
    qint64 windowMs;
    std::deque<Sample> samples;
};
