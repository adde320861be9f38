#include "loginwebengine.h"

#include "basedialog.h"
#include "crashreload.h"
#include "outageretry.h"
#include "registerpage.h"
#include "servicepage.h"
#include "viewfeatures.h"
#include "waitingoverlay.h"
#include "zoomcontrol.h"

#include <QDebug>
#include <QMetaEnum>

LoginWebEngine::LoginWebEngine(PluginManagerInterface *manager)
    : manager(manager)
{
    ViewFeatures::attach(this);
    CrashReload::attach(this);
}

void LoginWebEngine::startLoading(const QUrl &url, QWebEnginePage *waiting,
                                  QWebEnginePage *page)
{
    qDebug() << "====loading page start";
    m_targetUrl = url;
    new OutageRetry(this);
    setPage(page);
    setZoomFactor(ZoomControl::storedFactor()); // the level the login page will load at
    overlay = WaitingOverlay::show(this, waiting);
}

QWebEngineView *LoginWebEngine::waitingView() const
{
    return overlay ? overlay->waitingView() : nullptr;
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
