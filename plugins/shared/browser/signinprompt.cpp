#include "signinprompt.h"

#include <QApplication>
#include <QAuthenticator>
#include <QDebug>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

SignInPrompt::SignInPrompt(const QString &host, const QString &realm, QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("需要身份验证"));
    setModal(true);
    auto *layout = new QVBoxLayout(this);
    // Page and server texts are shown as plain text, never as markup.
    auto *intro = new QLabel(this);
    intro->setTextFormat(Qt::PlainText);
    intro->setWordWrap(true);
    intro->setText(realm.isEmpty()
                       ? QStringLiteral("%1 要求输入用户名和密码").arg(host)
                       : QStringLiteral("%1 要求输入用户名和密码（%2）").arg(host, realm));
    intro->setObjectName(QStringLiteral("host"));
    layout->addWidget(intro);

    auto *form = new QFormLayout;
    userEdit = new QLineEdit(this);
    userEdit->setObjectName(QStringLiteral("user"));
    passwordEdit = new QLineEdit(this);
    passwordEdit->setObjectName(QStringLiteral("password"));
    passwordEdit->setEchoMode(QLineEdit::Password);
    form->addRow(QStringLiteral("用户名:"), userEdit);
    form->addRow(QStringLiteral("密码:"), passwordEdit);
    layout->addLayout(form);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    setMinimumWidth(360);
}

QString SignInPrompt::user() const
{
    return userEdit->text();
}

QString SignInPrompt::password() const
{
    return passwordEdit->text();
}

bool SignInPrompt::ask(QWidget *parent, const QString &host, QAuthenticator *authenticator)
{
    // On the heap: the window it belongs to may close while it runs, and take it along.
    QPointer<SignInPrompt> prompt = new SignInPrompt(host, authenticator->realm(), parent);
    const bool accepted = prompt->exec() == QDialog::Accepted && prompt;
    if (!accepted) {
        qDebug() << "sign-in cancelled:" << host;
        *authenticator = QAuthenticator();
        delete prompt.data();
        return false;
    }
    authenticator->setUser(prompt->user());
    authenticator->setPassword(prompt->password());
    delete prompt.data();
    return true;
}

// An application property, so that both plug-ins (each with its own copy of this
// code) see the same answers.
static const char proxySignIns[] = "mervoProxySignIns";

void SignInPrompt::rememberProxy(const QString &proxyHost, const QAuthenticator &authenticator)
{
    QVariantMap known = qApp->property(proxySignIns).toMap();
    known.insert(proxyHost, QStringList{authenticator.user(), authenticator.password()});
    qApp->setProperty(proxySignIns, known);
}

bool SignInPrompt::recallProxy(const QString &proxyHost, QAuthenticator *authenticator)
{
    const QStringList known = qApp->property(proxySignIns).toMap().value(proxyHost).toStringList();
    if (known.size() != 2)
        return false;
    authenticator->setUser(known.at(0));
    authenticator->setPassword(known.at(1));
    return true;
}
