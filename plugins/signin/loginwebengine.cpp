#include "loginwebengine.h"

#include "basedialog.h"
#include "downloadslistkey.h"
#include "outageretry.h"
#include "pageprinter.h"
#include "registerpage.h"
#include "servicepage.h"
#include "zoomcontrol.h"

#include <QApplication>
#include <QChildEvent>
#include <QDebug>
#include <QMetaEnum>

LoginWebEngine::LoginWebEngine(PluginManagerInterface *manager)
    : manager(manager)
{
    ZoomControl::attach(this);
    DownloadsListKey::attach(this);
    PagePrinter::addShortcut(this);
}

void LoginWebEngine::startLoading(const QUrl &url, QWebEnginePage *waiting,
                                  QWebEnginePage *page)
{
    qDebug() << "====loading page start";
    m_targetUrl = url;
    new OutageRetry(this);
    connect(this, &QWebEngineView::renderProcessTerminated, this,
            [](QWebEnginePage::RenderProcessTerminationStatus status, int exitCode) {
                qDebug() << "====>qwebengine render error status:"
                         << QMetaEnum::fromType<QWebEnginePage::RenderProcessTerminationStatus>()
                                .valueToKey(status)
                         << "   exitcode:" << exitCode;
            });
    setPage(page);
    setZoomFactor(ZoomControl::storedFactor()); // the level the login page will load at

    // A page put into another view draws its first frame anew (50-90 ms here), so the
    // login page's page stays in this view from the start and the waiting page shows
    // in a small view over its middle: both pages are white, the box is all that shows.
    m_waitingView = new QWebEngineView(this);
    m_waitingView->setContextMenuPolicy(Qt::NoContextMenu);
    m_waitingView->setPage(waiting);
    waiting->setParent(m_waitingView);
    m_waitingView->setZoomFactor(ZoomControl::storedFactor());
    placeWaitingView();
    m_waitingView->show();
    connect(waiting, &QWebEnginePage::loadFinished, this, [this, page] {
        if (loadEndLogged)
            return;
        qDebug() << "====loading page end";
        loadEndLogged = true;
        // Started once the waiting page stands, so the two renderers do not start at
        // once. Running a script starts the renderer on the page's initial empty
        // document: no navigation, so the login page has nothing before it to go back to.
        page->runJavaScript(QString());
    });
    // The host loads the login page once the waiting page asks; whatever loads here
    // first (F5) ends the wait as well, and so does a failed load.
    connect(this, &QWebEngineView::loadFinished, this, &LoginWebEngine::endWaiting);
    m_waitingView->load(QUrl(QStringLiteral("qrc:/load.html")));
}

void LoginWebEngine::endWaiting()
{
    if (!m_waitingView)
        return;
    const bool hadFocus = m_waitingView->isAncestorOf(QApplication::focusWidget());
    m_waitingView->hide();
    m_waitingView->deleteLater();
    m_waitingView = nullptr;
    if (hadFocus)
        setFocus();
}

void LoginWebEngine::childEvent(QChildEvent *event)
{
    QWebEngineView::childEvent(event);
    // The widget this view draws its page in comes once the page's renderer runs, and
    // would land over the waiting page.
    if (event->added() && m_waitingView && event->child() != m_waitingView)
        m_waitingView->raise();
}

void LoginWebEngine::resizeEvent(QResizeEvent *event)
{
    QWebEngineView::resizeEvent(event);
    placeWaitingView();
}

void LoginWebEngine::placeWaitingView()
{
    if (!m_waitingView)
        return;
    // Room for the waiting page's box (163 px square) at its zoom.
    const int side = qRound(200 * m_waitingView->zoomFactor());
    QRect box(0, 0, side, side);
    box.moveCenter(rect().center());
    m_waitingView->setGeometry(box & rect());
}

QWebEngineView *LoginWebEngine::createWindow(QWebEnginePage::WebWindowType type)
{
    qDebug() << QMetaEnum::fromType<QWebEnginePage::WebWindowType>().valueToKey(type);
    if (type == QWebEnginePage::WebBrowserTab)
        return openSubWindow();
    return this;
}

QWebEngineView *LoginWebEngine::openSubWindow()
{
    auto *own = qobject_cast<ServicePage *>(page());
    auto *view = new LoginWebEngine(manager);
    view->setContextMenuPolicy(Qt::NoContextMenu);
    auto *frame = new BaseDialog(view);
    auto *page = new RegisterPage(own ? own->trustPolicy() : TrustPolicy::resourcesOnly(), frame);
    page->setParent(view);
    view->setPage(page);
    // A page closes its own window, whichever window is newest.
    connect(page, &QWebEnginePage::windowCloseRequested, frame, &QWidget::close);
    connect(page, &RegisterPage::close, frame, &QWidget::close);
    connect(page, &RegisterPage::registerLogin, this, &LoginWebEngine::onRegisterLogin);
    view->setWindowModality(Qt::WindowModal);
    frame->setAttribute(Qt::WA_DeleteOnClose);
    frame->show();
    frame->activateWindow();
    m_subWindows.append(frame);
    return view;
}

QWidget *LoginWebEngine::subWindow() const
{
    for (auto it = m_subWindows.crbegin(); it != m_subWindows.crend(); ++it)
        if (*it)
            return *it;
    return nullptr;
}

void LoginWebEngine::closeSubWindow()
{
    qDebug() << "close subwindow:" << 1;
    // Frames delete themselves when closed (and with them their views and pages).
    const auto frames = m_subWindows;
    m_subWindows.clear();
    for (const QPointer<QWidget> &frame : frames)
        if (frame)
            frame->close();
}

void LoginWebEngine::onRegisterLogin(const QUrl &url)
{
    qDebug() << "register login url:" << url;
    closeSubWindow();
    if (manager)
        manager->sendMessage(OpenWorkspace, url.toString());
}
