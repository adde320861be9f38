#pragma once

#include "pluginmanagerinterface.h"

#include <QList>
#include <QPointer>
#include <QUrl>
#include <QWebEngineView>

class WaitingOverlay;

// The login module's view: first the built-in waiting page (over the view's own page,
// whose renderer starts meanwhile), then the service's login page. Pages it opens in new
// tabs become registration sub windows.
class LoginWebEngine final : public QWebEngineView
{
    Q_OBJECT

public:
    explicit LoginWebEngine(PluginManagerInterface *manager);

    // Shows the waiting page in waiting, over page, set up alike, which becomes this
    // view's page for good; the waiting page goes once this view has loaded anything.
    void startLoading(const QUrl &url, QWebEnginePage *waiting, QWebEnginePage *page);
    // The view over this one's middle that shows the waiting page, while it does.
    QWebEngineView *waitingView() const;
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
    QPointer<WaitingOverlay> overlay;
    // Guarded: a frame deletes itself when closed.
    QList<QPointer<QWidget>> m_subWindows;
    PluginManagerInterface *manager;
};
