#pragma once

#include <QPointer>
#include <QWebEnginePage>

// The page of a secondary window. Its first navigation decides what the window
// is: a page window (service host), an invisible download carrier (download
// entry), or nothing at all (anything else goes to the desktop).
class ProductPage final : public QWebEnginePage
{
    Q_OBJECT

public:
    ProductPage(const QString &baseHost, QWidget *container, int viewWidth, int viewHeight);

protected:
    void triggerAction(WebAction action, bool checked = false) override;
    QWebEnginePage *createWindow(WebWindowType type) override;
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override;

private slots:
    void onFeaturePermissionRequested(const QUrl &securityOrigin, QWebEnginePage::Feature feature);

private:
    QString baseHost;
    QPointer<QWidget> container;
    bool navigated = false;
    bool isDownload = false;
    int viewWidth;
    int viewHeight;
};
