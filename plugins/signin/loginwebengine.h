#pragma once

#include "pluginmanagerinterface.h"

#include <QList>
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
    // The newest open registration window, or null.
    QWidget *subWindow() const;

    // Closes every open registration window.
    void closeSubWindow();
    void onRegisterLogin(const QUrl &url);

protected:
    QWebEngineView *createWindow(QWebEnginePage::WebWindowType type) override;

private:
    QWebEngineView *openSubWindow();

    QUrl m_targetUrl;
    // Guarded: a frame deletes itself when closed.
    QList<QPointer<QWidget>> m_subWindows;
    PluginManagerInterface *manager;
    bool loadEndLogged = false;
};
