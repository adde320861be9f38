#pragma once

#include "pluginmanagerinterface.h"

#include <QList>
#include <QPointer>
#include <QUrl>
#include <QWebEngineView>

// The login module's view: first the built-in waiting page, then the service's
// login page. Pages it opens in new tabs become registration sub windows.
// The login page gets a page of its own, whose renderer starts while the waiting page
// waits: it neither shares the waiting page's renderer nor waits for a new one.
class LoginWebEngine final : public QWebEngineView
{
    Q_OBJECT

public:
    explicit LoginWebEngine(PluginManagerInterface *manager);

    // Shows the waiting page in waiting; prepared, set up alike, is the one to show next.
    void startLoading(const QUrl &url, QWebEnginePage *waiting, QWebEnginePage *prepared);
    // While the waiting page is shown: the prepared page takes its place (the host then
    // loads the login URL into it). Otherwise nothing.
    void usePreparedPage();
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

    void dropPreparedPage();

    QUrl m_targetUrl;
    QPointer<QWebEnginePage> m_prepared;
    // Guarded: a frame deletes itself when closed.
    QList<QPointer<QWidget>> m_subWindows;
    PluginManagerInterface *manager;
    bool loadEndLogged = false;
};
