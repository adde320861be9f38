#pragma once

#include <QLocalServer>
#include <QLocalSocket>
#include <QObject>
#include <QString>

// Keeps one client per user and desktop session: the first start listens on a local
// server name private to that user and session; later starts connect to it, and the first
// instance brings its window back and closes the call, which is its answer. A call reset
// before it was taken came from a client that was going away: its name is free.
class SingleInstance final : public QObject
{
    Q_OBJECT

public:
    explicit SingleInstance(const QString &key, QObject *parent = nullptr);
    ~SingleInstance() override;

    // The name the key becomes for this user and session: a socket in the user's
    // runtime folder (Linux), a pipe name carrying session and user (Windows). Empty
    // when the user has no private place for it.
    static QString serverName(const QString &key);
    QString serverName() const { return name; }

    // Whether another instance holds the name; the call wakes it. Connecting waits up to
    // 30 s, the answer up to 5 s (an instance that has not answered by then, still
    // starting or hanging, counts as running).
    // On Windows it first lets that instance take the foreground.
    bool isRunning();

    // Starts listening. A name held by a live instance is never taken over; a
    // socket left behind by a crashed instance is removed and the name reused.
    // Starts racing each other are serialised across processes, so exactly one wins.
    // Fails when the name cannot be had; see lostToRunningInstance().
    bool listen();

    // After a failed listen(): whether the name belongs to a live instance that
    // started at the same moment (the caller is then a second instance).
    bool lostToRunningInstance() const { return m_lostToRunning; }

    QString errorString() const;

signals:
    void newInstanceCreated();

public slots:
    void onNewConnection();

private:
    enum class Answer { Nobody, Woken, Busy };
    // Connects to the name (bounded by connectMs) and waits up to answerMs for the running
    // instance to take the call and close it (Woken). Nobody: no instance, or one that went
    // away before it took the call. Busy: connected, but not answered in time.
    Answer answer(int connectMs, int answerMs) const;
    bool answers(int connectMs, int answerMs) const
    {
        return answer(connectMs, answerMs) != Answer::Nobody;
    }
    // The answer on a connected socket (OS part).
    static Answer awaitAnswer(QLocalSocket &socket, int answerMs);
    void releaseGuard();

    QLocalServer server;
    QString key;
    QString name;
    QString m_error;
    bool m_lostToRunning = false;
    // Windows: the first pipe instance, created "first instance only", and our own
    // connection to it that keeps it from answering anyone else.
    void *guardPipe = nullptr;
    void *guardClient = nullptr;
};
