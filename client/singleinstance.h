#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

// Keeps one client per user and desktop session: the first start listens on a local
// server name private to that user and session; later starts connect to it (the
// connection itself is the whole message) and the first instance brings its window back.
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

    // Whether another instance accepts connections on the name (waits up to 30 s). On
    // Windows it first lets that instance take the foreground.
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
    bool answers(int timeoutMs) const;
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
