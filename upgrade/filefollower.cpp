#include "filefollower.h"

#include <QByteArray>
#include <QDebug>

namespace {
const qint64 PieceSize = 1 << 20;
}

FileFollower::FileFollower(const QString &path, Consumer consumer)
    : file(path), consumer(std::move(consumer))
{
    // Unbuffered: a read never keeps a short tail that more writing would extend.
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        qDebug().noquote() << "the download cannot be read back:" << file.errorString();
        failed = true;
        return;
    }
    thread = std::thread(&FileFollower::run, this);
}

FileFollower::~FileFollower()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    changed.notify_all();
    if (thread.joinable())
        thread.join();
}

void FileFollower::advance(qint64 size)
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        available = qMax(available, size);
    }
    changed.notify_all();
}

bool FileFollower::finish(qint64 size)
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        available = size;
        finished = true;
    }
    changed.notify_all();
    if (thread.joinable())
        thread.join();
    return !failed && fed == size;
}

void FileFollower::run()
{
    QByteArray piece(int(PieceSize), Qt::Uninitialized);
    for (;;) {
        qint64 until;
        {
            std::unique_lock<std::mutex> lock(mutex);
            changed.wait(lock, [this] { return stopping || finished || available > fed; });
            if (stopping)
                return;
            until = available;
            if (finished && fed >= until)
                return;
        }
        while (fed < until) {
            const qint64 got = file.read(piece.data(), qMin(PieceSize, until - fed));
            if (got <= 0) {
                failed = true; // shorter than written: nothing more will come
                return;
            }
            consumer(piece.constData(), got);
            fed += got;
        }
    }
}
