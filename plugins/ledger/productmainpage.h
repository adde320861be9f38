#pragma once

#include <QWebEnginePage>

// The workspace page. Leaving the service host by a typed address or a redirect
// means the session is over (outlick); script alerts and confirms use the
// workspace's own message box.
class ProductMainPage final : public QWebEnginePage
{
    Q_OBJECT

public:
    ProductMainPage();

    QString baseHost() const { return m_baseHost; }

signals:
    void outlick();

protected:
    void javaScriptAlert(const QUrl &securityOrigin, const QString &msg) override;
    bool javaScriptConfirm(const QUrl &securityOrigin, const QString &msg) override;
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override;

private slots:
    void onFeaturePermissionRequested(const QUrl &securityOrigin, QWebEnginePage::Feature feature);

private:
    QString m_baseHost;
};
