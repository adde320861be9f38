#pragma once

#include <QPointer>
#include <QUrl>
#include <QWebEnginePage>

// The page of a registration sub window. It watches its own navigation: the end of
// registration (the service's main page) logs the new user in, and pages meant for
// the browser (forgotten password, payment, service agreement) go to the desktop.
class RegisterPage final : public QWebEnginePage
{
    Q_OBJECT

public:
    explicit RegisterPage(QWidget *dialog);

signals:
    void registerLogin(QUrl url);
    void close();

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override;

private:
    void leave();

    QPointer<QWidget> dialog;
};
