#pragma once

#include <QDialog>

class QAuthenticator;
class QLineEdit;

// The one question for a user name and password, for a page that asks (HTTP
// authentication) and for a proxy that asks. Cancelling leaves the page as the
// server answered it.
class SignInPrompt final : public QDialog
{
    Q_OBJECT

public:
    SignInPrompt(const QString &host, const QString &realm, QWidget *parent = nullptr);

    QString user() const;
    QString password() const;

    // Asks and fills authenticator; a cancel nulls it, which cancels the request.
    // Returns whether the user answered.
    static bool ask(QWidget *parent, const QString &host, QAuthenticator *authenticator);

    // A proxy's sign-in, kept in memory for this run and shared by both modules'
    // views: the workspace clears the engine's own memory of it at every login.
    static void rememberProxy(const QString &proxyHost, const QAuthenticator &authenticator);
    static bool recallProxy(const QString &proxyHost, QAuthenticator *authenticator);

private:
    QLineEdit *userEdit;
    QLineEdit *passwordEdit;
};
