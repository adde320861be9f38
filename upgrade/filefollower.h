#pragma once

#include <QFile>
#include <QString>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// Feeds a file that is being written to a consumer (the download's hashes), on a thread
// of its own that reads the bytes back from the file cache behind the writer: hashing
// then takes the second core instead of holding up the transfer, and no chunk waits in
// memory for it.
class FileFollower final
{
public:
    using Consumer = std::function<void(const char *data, qint64 size)>;

    // Opens path at once, so the bytes read are those of the file the writer holds.
    FileFollower(const QString &path, Consumer consumer);
    ~FileFollower();

    FileFollower(const FileFollower &) = delete;
    FileFollower &operator=(const FileFollower &) = delete;

    // The first size bytes of the file are written and flushed.
    void advance(qint64 size);
    // The writer is done after size bytes: waits until all of them were fed and says
    // whether they were (false when the file could not be read back).
    bool finish(qint64 size);

private:
    void run();

    QFile file;
    Consumer consumer;
    std::mutex mutex;
    std::condition_variable changed;
    qint64 available = 0;
    bool finished = false;
    bool stopping = false;
    bool failed = false;
    qint64 fed = 0;
    std::thread thread;
};
