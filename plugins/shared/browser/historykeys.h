#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <functional>

class QEvent;
class QWebEngineView;

// Back and forward as in a browser: Alt+Left and Alt+Right, the mouse's back and
// forward buttons. They move only between the service's own pages: the waiting page,
// the outage page and pages of other sites are stepped over, and where no service
// page lies in that direction nothing happens.
class HistoryKeys final : public QObject
{
    Q_OBJECT

public:
    struct Entry
    {
        QUrl url;
        QString title;
    };

    static HistoryKeys *attach(QWebEngineView *view);

    // The index one step back (step < 0) or forward from current goes to, or -1.
    static int target(const QList<Entry> &entries, int current, int step,
                      const std::function<bool(const QUrl &)> &isService);

    // Goes one step back (step < 0) or forward, if target() allows.
    void go(int step);

private:
    explicit HistoryKeys(QWebEngineView *view);
    bool onEvent(QEvent *event);

    QPointer<QWebEngineView> view;
};
