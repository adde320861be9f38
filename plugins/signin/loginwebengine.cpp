#include "loginwebengine.h"

#include "basedialog.h"
#include "outageretry.h"
#include "pageprinter.h"
#include "registerpage.h"
#include "servicepage.h"
#include "zoomcontrol.h"

#include <QDebug>
#include <QMetaEnum>

LoginWebEngine::LoginWebEngine(PluginManagerInterface *manager)
    : manager(manager)
{
    ZoomControl::attach(this);
    PagePrinter::addShortcut(this);
}

void LoginWebEngine::startLoading(const QUrl &url, QWebEnginePage *waiting,
                                  QWebEnginePage *prepared)
{
    qDebug() << "====loading page start";
    m_targetUrl = url;
    new OutageRetry(this);
    connect(this, &QWebEngineView::loadFinished, this, [this](bool) {
        if (loadEndLogged)
            return;
        qDebug() << "====loading page end";
        loadEndLogged = true;
    });
    connect(this, &QWebEngineView::renderProcessTerminated, this,
            [](QWebEnginePage::RenderProcessTerminationStatus status, int exitCode) {
                qDebug() << "====>qwebengine render error status:"
                         << QMetaEnum::fromType<QWebEnginePage::RenderProcessTerminationStatus>()
                                .valueToKey(status)
                         << "   exitcode:" << exitCode;
            });
    setPage(waiting);
    m_prepared = prepared;
    // Started once the waiting page stands, so the two renderers do not start at once.
    // Running a script starts the renderer on the page's initial empty document: no
    // navigation, so the login page has no blank page before it to go back to.
    connect(waiting, &QWebEnginePage::loadFinished, prepared,
            [prepared] { prepared->runJavaScript(QString()); });
    // Anything else the waiting page goes to (F5 while it waits) stays in it.
    connect(waiting, &QWebEnginePage::urlChanged, this, [this](const QUrl &shown) {
        if (!shown.isEmpty() && shown.scheme() != QLatin1String("qrc"))
            dropPreparedPage();
    });
    load(QUrl(QStringLiteral("qrc:/load.html")));
}

void LoginWebEngine::usePreparedPage()
{
    if (!m_prepared || page()->url().scheme() != QLatin1String("qrc"))
        return;
    QWebEnginePage *waiting = page();
    setPage(m_prepared);
    m_prepared = nullptr;
    waiting->disconnect(this);
    waiting->deleteLater();
}

void LoginWebEngine::dropPreparedPage()
{
    if (m_prepared)
        m_prepared->deleteLater();
    m_prepared = nullptr;
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
