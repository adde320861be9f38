#include "crashreload.h"

#include <QDebug>
#include <QMetaEnum>
#include <QTimer>
#include <QWebEngineView>

void CrashReload::attach(QWebEngineView *view)
{
    new CrashReload(view);
}

CrashReload::CrashReload(QWebEngineView *view)
    : QObject(view)
    , view(view)
{
    connect(view, &QWebEngineView::renderProcessTerminated, this, &CrashReload::onTerminated);
}

void CrashReload::onTerminated(QWebEnginePage::RenderProcessTerminationStatus status,
                               int exitCode)
{
    qDebug() << "pageExit:" << exitCode << " - "
             << QMetaEnum::fromType<QWebEnginePage::RenderProcessTerminationStatus>().valueToKey(
                    status)
             << view->url();
    if (status == QWebEnginePage::NormalTerminationStatus)
        return;
    if (view->url().isEmpty()) {
        qDebug() << "page had loaded nothing yet, nothing to reload";
        return;
    }
    if (!throttle.allowReload()) {
        qDebug() << "page keeps crashing, automatic reload stopped (F5 reloads):" << view->url();
        return;
    }
    // Not from within the engine's own notification.
    QTimer::singleShot(0, view, [view = view] { view->reload(); });
}
