#pragma once

#include "crashthrottle.h"

#include <QObject>
#include <QWebEnginePage>

class QWebEngineView;

// Brings a view back after its renderer ended abnormally (a crash, or the process was
// killed) by reloading its page. All pages of the client may share one renderer, so a
// fault in any page ends them all: the login page, the workspace and a waiting page alike.
// A page that has loaded nothing yet (its initial empty document under a waiting page)
// is left alone; the waiting page asks for the service page again once it is back. A page
// that crashes at every load is reloaded three times a minute at most (F5 still reloads).
class CrashReload final : public QObject
{
    Q_OBJECT

public:
    static void attach(QWebEngineView *view);

private:
    explicit CrashReload(QWebEngineView *view);
    void onTerminated(QWebEnginePage::RenderProcessTerminationStatus status, int exitCode);

    QWebEngineView *view;
    CrashThrottle throttle;
};
