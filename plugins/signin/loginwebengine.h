#pragma once

#include "pluginmanagerinterface.h"

#include <QPointer>
#include <QUrl>
#include <QWebEngineView>

// The login module's view: first the built-in waiting page, then the service's
// login page. Pages it opens in new tabs become registration sub windows.
class LoginWebEngine final : public QWebEngineView
{
    Q_OBJECT

public:
    explicit LoginWebEngine(PluginManagerInterface *manager);

    void startLoading(const QUrl &url);
    QUrl targetUrl() const { return m_targetUrl; }
    QWidget *subWindow() const { return m_subWindow; }

    void closeSubWindow();
    void onRegisterLogin(const QUrl &url);

protected:
    QWebEngineView *createWindow(QWebEnginePage::WebWindowType type) override;

private:
    QWebEngineView *openSubWindow();

    QUrl m_targetUrl;
    // Guarded: the frame deletes itself when the user closes it.
    QPointer<QWidget> m_subWindow;
    PluginManagerInterface *manager;
    bool loadEndLogged = false;
};
