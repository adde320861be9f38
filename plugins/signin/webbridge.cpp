#include "webbridge.h"

#include "desktophandoff.h"
#include "deviceidentity.h"
#include "loginrecord.h"

#include <QDebug>
#include <QUrl>

static const QString ProductConstant = QStringLiteral("Mervo客户端");

WebBridge::WebBridge(PluginManagerInterface *manager, const QString &loginUrl)
    : loginUrl(loginUrl)
    , manager(manager)
{}

void WebBridge::send(MessageType type, const QString &text)
{
    if (manager)
        manager->sendMessage(type, text);
}

QString WebBridge::toolTip(const QString &company, const QString &user)
{
    return QStringLiteral("%1|-%2|-%3").arg(ProductConstant, company, user);
}

QUrl WebBridge::herfAddress(const QString &loginUrl, const QString &path)
{
    if (!path.startsWith(QLatin1Char('/')))
        return QUrl(path);
    // Appended to the login server's origin as text: resolving "//host/x" against it
    // would name another host.
    const QUrl login(loginUrl);
    if (!login.isValid() || login.host().isEmpty())
        return QUrl();
    const QString origin = login
                               .adjusted(QUrl::RemovePath | QUrl::RemoveQuery |
                                         QUrl::RemoveFragment | QUrl::RemoveUserInfo)
                               .toString(QUrl::FullyEncoded);
    const QUrl address(origin + path);
    // Whatever the texts hold, a path never leads to another server.
    if (address.host() != login.host() || address.port() != login.port())
        return QUrl();
    return address;
}

void WebBridge::herfClick(QString path)
{
    if (!access.admits("herfClick") || !path.contains(QLatin1Char('/')))
        return;
    DesktopHandOff::open(herfAddress(loginUrl, path));
}

QString WebBridge::wi()
{
    if (!access.admits("wi"))
        return QString();
    return DeviceIdentity::deviceId();
}

void WebBridge::logined(QString companyName, QString userName, QString productId, QString token,
                        QString loginUrl, QString quickLoginCode)
{
    if (!access.admits("logined"))
        return;
    Q_UNUSED(loginUrl);
    qDebug() << "productName|companyName: " << companyName;
    const QStringList parts = companyName.split(QLatin1Char('|'), Qt::KeepEmptyParts);
    QString product;
    QString company;
    if (parts.size() >= 2) {
        product = parts.at(0);
        if (product.isEmpty() || product == QLatin1String("null"))
            product = ProductConstant;
        company = parts.at(1);
        productName = product;
    } else {
        company = companyName;
    }
    qDebug() << "productName: " << product;
    qDebug() << "newComanyName: " << company;
    LoginRecord::save(product, company, userName, productId, token, quickLoginCode);
    send(SetTrayToolTip, toolTip(company, userName));
}

void WebBridge::quicklogin(QString loginUrl)
{
    if (!access.admits("quicklogin"))
        return;
    qDebug() << "load url:" << loginUrl;
    send(OpenWorkspace, loginUrl);
    if (!productName.isEmpty())
        send(SetWindowTitle, productName);
    if (!companyName.isEmpty() && !userName.isEmpty())
        send(SetTrayToolTip, toolTip(companyName, userName));
}

QString WebBridge::getToken(QString quickLoginCode)
{
    if (!access.admits("getToken"))
        return QString();
    return LoginRecord::loadIfCodeMatches(quickLoginCode);
}

void WebBridge::loginOut()
{
    if (!access.admits("loginOut"))
        return;
    qDebug() << "loginOut";
    LoginRecord::erase();
}

QString WebBridge::curretUser()
{
    if (!access.admits("curretUser"))
        return QString();
    const LoginRecord::Loaded record = LoginRecord::load();
    if (!record.opened)
        return QString();
    const auto &values = record.values;
    if (values.contains(QStringLiteral("productName")))
        productName = values.value(QStringLiteral("productName"));
    if (values.contains(QStringLiteral("companyName")))
        companyName = values.value(QStringLiteral("companyName"));
    if (values.contains(QStringLiteral("userName")))
        userName = values.value(QStringLiteral("userName"));
    return LoginRecord::userAnswer(record);
}

QString WebBridge::deviceInfo()
{
    if (!access.admits("deviceInfo"))
        return QString();
    return DeviceIdentity::computerInfo();
}

void WebBridge::sendMsg(QJsonObject msgObj)
{
    if (!access.admits("sendMsg"))
        return;
    if (!msgObj.contains(QStringLiteral("actionType")))
        return;
    if (msgObj.value(QStringLiteral("actionType")).toInt(0) != 1)
        return;
    const QString text = msgObj.value(QStringLiteral("data")).toString();
    if (!text.isEmpty())
        send(SetWindowTitle, text);
}

void WebBridge::reload()
{
    if (!access.admits("reload"))
        return;
    send(ReloadView, QString());
}
