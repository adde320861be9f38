#include "loginwebengine.h"

#include "basedialog.h"
#include "registerpage.h"

#include <QDebug>
#include <QMetaEnum>

LoginWebEngine::LoginWebEngine(PluginManagerInterface *manager)
    : manager(manager)
{
}

void LoginWebEngine::startLoading(const QUrl &url)
{
    qDebug() << "====loading page start";
    m_targetUrl = url;
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
    load(QUrl(QStringLiteral("qrc:/load.html")));
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
    auto *view = new LoginWebEngine(manager);
    view->setContextMenuPolicy(Qt::NoContextMenu);
    auto *frame = new BaseDialog(view);
    auto *page = new RegisterPage(frame);
    page->setParent(view);
    view->setPage(page);
    connect(page, &QWebEnginePage::windowCloseRequested, this, &LoginWebEngine::closeSubWindow);
    connect(page, &RegisterPage::registerLogin, this, &LoginWebEngine::onRegisterLogin);
    connect(page, &RegisterPage::close, this, &LoginWebEngine::closeSubWindow);
    view->setWindowModality(Qt::WindowModal);
    frame->setAttribute(Qt::WA_DeleteOnClose);
    frame->show();
    frame->activateWindow();
    m_subWindow = frame;
    return view;
}

void LoginWebEngine::closeSubWindow()
{
    qDebug() << "close subwindow:" << 1;
    if (m_subWindow) {
        m_subWindow->close();
        m_subWindow->deleteLater();
    }
    m_subWindow = nullptr;
}

void LoginWebEngine::onRegisterLogin(const QUrl &url)
{
    qDebug() << "register login url:" << url;
    closeSubWindow();
    if (manager)
        manager->sendMessage(OpenWorkspace, url.toString());
}
