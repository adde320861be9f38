#include "waitingoverlay.h"

#include "crashreload.h"
#include "zoomcontrol.h"

#include <QApplication>
#include <QChildEvent>
#include <QDebug>
#include <QPointer>
#include <QWebEngineView>

WaitingOverlay *WaitingOverlay::show(QWebEngineView *view, QWebEnginePage *waiting)
{
    return new WaitingOverlay(view, waiting);
}

WaitingOverlay::WaitingOverlay(QWebEngineView *view, QWebEnginePage *waiting)
    : QObject(view)
    , view(view)
{
    m_waitingView = new QWebEngineView(view);
    m_waitingView->setContextMenuPolicy(Qt::NoContextMenu);
    m_waitingView->setPage(waiting);
    waiting->setParent(m_waitingView);
    m_waitingView->setZoomFactor(ZoomControl::storedFactor());
    // A renderer lost while the page waits would leave it waiting for ever: it comes back
    // and asks again.
    CrashReload::attach(m_waitingView);
    place();
    m_waitingView->show();
    view->installEventFilter(this);

    QPointer<QWebEnginePage> own = view->page();
    connect(waiting, &QWebEnginePage::loadFinished, this, [this, own] {
        if (loadEndLogged)
            return;
        qDebug() << "====loading page end";
        loadEndLogged = true;
        // Started once the waiting page stands, so the two renderers do not start at once.
        // Running a script starts the renderer without a navigation.
        if (own)
            own->runJavaScript(QString());
    });
    // The host loads the service page once the waiting page asks; whatever loads in the
    // view first (F5) ends the wait as well, and so does a failed load.
    connect(view, &QWebEngineView::loadFinished, this, &WaitingOverlay::end);
    m_waitingView->load(QUrl(QStringLiteral("qrc:/load.html")));
}

void WaitingOverlay::end()
{
    if (!m_waitingView)
        return;
    const bool hadFocus = m_waitingView->isAncestorOf(QApplication::focusWidget());
    m_waitingView->hide();
    m_waitingView->deleteLater();
    view->removeEventFilter(this);
    if (hadFocus)
        view->setFocus();
    deleteLater();
}

bool WaitingOverlay::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == view && m_waitingView) {
        if (event->type() == QEvent::Resize) {
            place();
        } else if (event->type() == QEvent::ChildAdded) {
            // The widget the view draws its page in comes once the page's renderer runs,
            // and would land over the waiting page.
            if (static_cast<QChildEvent *>(event)->child() != m_waitingView)
                m_waitingView->raise();
        }
    }
    return QObject::eventFilter(watched, event);
}

void WaitingOverlay::place()
{
    // Room for the waiting page's box (163 px square) at its zoom.
    const int side = qRound(200 * m_waitingView->zoomFactor());
    QRect box(0, 0, side, side);
    box.moveCenter(view->rect().center());
    m_waitingView->setGeometry(box & view->rect());
}

QWebEngineView *WaitingOverlay::waitingView() const
{
    return m_waitingView;
}
