#pragma once

#include "qtcompat.h"

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVector>

// One line of the downloads list.
struct DownloadEntry
{
    enum State { Running, Completed, Cancelled, Failed };

    QString id;
    QString path;
    qint64 received = 0;
    qint64 total = -1;
    State state = Running;
    QString reason;
    QDateTime started;
    // What the finished download left on disk: the file counts as ours only while
    // its size and modification time are still these.
    qint64 fileSize = -1;
    QDateTime fileModified;
};

// The downloads of this and earlier runs, newest first, kept in a small owner-only
// JSON file in the user's local data folder. It follows the engine's download items
// itself, so a download that goes on after the workspace is gone is still recorded,
// and it is what counts the transfers under way (the host asks before a quit would
// cancel them).
class DownloadsList final : public QObject
{
    Q_OBJECT

public:
    static constexpr int maxEntries = 200;
    // A list of 200 entries is far below this; anything larger is no list of ours.
    static constexpr qint64 maxFileBytes = 1024 * 1024;

    // The list of this module, on the default file.
    static DownloadsList *instance();
    static QString defaultPath();

    explicit DownloadsList(const QString &filePath, QObject *parent = nullptr);

    // Entries of the file's text; false (and nothing) when it is no list.
    static bool parse(const QByteArray &text, QVector<DownloadEntry> *entries);
    static QByteArray serialize(const QVector<DownloadEntry> &entries);
    // True while the completed download's file is still where and what it was.
    static bool fileUnchanged(const DownloadEntry &entry);

    const QVector<DownloadEntry> &entries() const { return list; }
    int indexOf(const QString &id) const;

    // Records an accepted download (again, when the engine resumes it) and follows it.
    void track(QWebEngineDownloadRequest *item);
    // A download the client stopped itself (no room for it), with the reason to show.
    void markFailed(QWebEngineDownloadRequest *item, const QString &reason);
    bool cancel(const QString &id);
    // Transfers under way; a resumed one counts once, by its latest item.
    int runningCount() const;
    // Cancelling removes what was written so far; nothing partial stays.
    void cancelAll();
    void remove(const QString &id);
    void clearFinished();

signals:
    void changed();
    void progressed(const QString &id);
    // A download finished writing its file.
    void completed(const QString &fileName);
    void runningCountChanged(int count);

private:
    void load();
    void save();
    void onStateChanged(QWebEngineDownloadRequest *item);
    void updateRunningCount();

    QString filePath;
    QVector<DownloadEntry> list;
    QHash<quint32, QString> idOfItem;
    QHash<QString, QPointer<QWebEngineDownloadRequest>> itemOfId;
    int lastRunningCount = 0;
};
