#pragma once

#include "servicepage.h"

#include <QPointer>

// The page of a secondary window. Its first navigation decides what the window
// is: a page window (service host), an invisible download carrier (download
// entry), or nothing at all (anything else goes to the desktop hand-off and the
// window closes). A page window then follows the service; other sites go to the
// browser and the window keeps its page.
class ProductPage final : public ServicePage
{
    Q_OBJECT

public:
    ProductPage(std::shared_ptr<const TrustPolicy> policy, const QString &baseHost,
                QWidget *container, int viewWidth, int viewHeight);

    bool isDownloadCarrier() const { return isDownload; }
    // The window was opened by one of the service's own pages: its first address may be
    // a chat link the service sends to the desktop.
    void setOpenedByService(bool byService) { openedByService = byService; }

protected:
    void triggerAction(WebAction action, bool checked = false) override;
    QWebEnginePage *createWindow(WebWindowType type) override;
    bool acceptWebNavigation(const QUrl &url, NavigationType type, bool isMainFrame) override;
    bool acceptForeignSite(const QUrl &url, NavigationType type) override;
    void navigationHandedOff(const QUrl &url) override;
    bool speaksForService() const override;

private:
    // The first navigation makes the window a page window, a download carrier, or
    // nothing (the address goes to the desktop); a foreign site never makes it a page
    // window. Later ones pass.
    bool judgeNavigation(const QUrl &url, bool foreign);
    void onLoadFinished(bool ok);
    void closeWindow();

    QString baseHost;
    QPointer<QWidget> container;
    bool navigated = false;
    bool isDownload = false;
    bool openedByService = false;
    int viewWidth;
    int viewHeight;
};
