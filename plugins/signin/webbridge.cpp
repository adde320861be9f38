#include "webbridge.h"

#include "deviceidentity.h"
#include "loginrecord.h"

#include <QDebug>
#include <QDesktopServices>
#include <QUrl>

static const QString ProductConstant = QStringLiteral("Mervo客户端");

WebBridge::WebBridge(PluginManagerInterface *manager, const QString &loginUrl)
    : loginUrl(loginUrl)
    , manager(manager)
{
}

void WebBridge::send(MessageType type, const QString &text)
{
    if (manager)
        manager->sendMessage(type, text);
}

QString WebBridge::toolTip(const QString &company, const QString &user)
{
    return QStringLiteral("%1|-%2|-%3").arg(ProductConstant, company, user);
}

void WebBridge::herfClick(QString path)
{
    if (!path.contains(QLatin1Char('/')))
        return;
    // A path of the login server opens on the login page's scheme and host.
    const QUrl address = path.startsWith(QLatin1Char('/'))
        ? QUrl(loginUrl).resolved(QUrl(path))
        : QUrl(path);
    QDesktopServices::openUrl(address);
}

QString WebBridge::wi()
{
    return DeviceIdentity::deviceId();
}

void WebBridge::logined(QString companyName, QString userName, QString productId, QString token,
                        QString loginUrl, QString quickLoginCode)
{
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
    qDebug() << "load url:" << loginUrl;
    send(OpenWorkspace, loginUrl);
    if (!productName.isEmpty())
        send(SetWindowTitle, productName);
    if (!companyName.isEmpty() && !userName.isEmpty())
        send(SetTrayToolTip, toolTip(companyName, userName));
}

QString WebBridge::getToken(QString quickLoginCode)
{
    return LoginRecord::loadIfCodeMatches(quickLoginCode);
}

void WebBridge::loginOut()
{
    qDebug() << "loginOut";
    LoginRecord::erase();
}

QString WebBridge::curretUser()
{
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
    return DeviceIdentity::computerInfo();
}

void WebBridge::sendMsg(QJsonObject msgObj)
{
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
    send(ReloadView, QString());
}
