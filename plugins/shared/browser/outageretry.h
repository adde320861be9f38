#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

class QWebEngineView;

// Carries a module's main view through service outages. When a page of the
// service cannot be loaded at all (no connection, no name, no answer), the view
// shows the client's own page and loads the address again after 1 s, 2 s, 4 s ...
// at most 30 s, never sooner than a second after the previous attempt. A service
// that answers, even with an error, keeps its page.
class OutageRetry final : public QObject
{
    Q_OBJECT

public:
    explicit OutageRetry(QWebEngineView *view);

    // The wait before automatic attempt number `failures` (1: the first), in ms.
    static int backOffMs(int failures);
    // Whether a Chromium error code means the service was not reached at all.
    static bool isUnreachable(const QString &errorCode);

    // Whether a page title is the client's own outage page's (web/outage.html).
    static bool isOutageTitle(const QString &title);

    // Reloads the view once, at least a second after the last attempt started.
    void reloadSoon();

signals:
    // A load failed although something answered (an HTTP error, an aborted load).
    void failedWithAnswer();

private:
    void onLoadStarted();
    void onLoadFinished(bool ok);
    void classifyFailure(const QUrl &failed);
    void showOutage(const QUrl &failed, const QString &errorCode);
    void attempt();
    int sinceLastAttemptMs() const;

    QPointer<QWebEngineView> view;
    QTimer retryTimer;
    QTimer reloadTimer;
    QElapsedTimer lastAttempt;
    QUrl intended;
    int failures = 0;
    int failureCheck = 0; // the load whose failure is being looked at
};
