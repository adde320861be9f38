#include "protocolfetch.h"

#include "configfile.h"
#include "jsstring.h"

#include <QDebug>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QSettings>
#include <QTimer>

namespace ProtocolFetch {

bool isProtocolRequest(const QString &url)
{
    return url.contains(QLatin1String("/tp/wpaCall/getProtocol?"));
}

QString relayAddress(const QString &address)
{
    QSettings settings(configFileName(), QSettings::IniFormat);
    const QString origin = settings.value(QStringLiteral("Sys/QidianOrigin")).toString();
    const QString relay = settings.value(QStringLiteral("Sys/QidianRelay")).toString();
    if (origin.isEmpty() || relay.isEmpty())
        return address;
    QString rewritten = address;
    return rewritten.replace(origin, relay, Qt::CaseSensitive);
}

QByteArray fetchSync(const QString &address, int timeoutMs)
{
    QNetworkAccessManager manager;
    QNetworkRequest request{QUrl(address)};
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    QNetworkReply *reply = manager.get(request);

    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    bool timedOut = false;
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        timedOut = true;
        reply->abort();
    });
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    timer.start(timeoutMs);
    if (!reply->isFinished())
        loop.exec();
    timer.stop();

    if (timedOut) {
        qDebug() << "request protobufHttp gave up after" << timeoutMs << "ms:" << address;
    } else if (reply->error() == QNetworkReply::NoError) {
        qDebug() << "request protobufHttp NoError";
    } else {
        qDebug() << "request protobufHttp handle errors here";
        qDebug().noquote() << QString::asprintf(
            "request protobufHttp found error ....code: %d %d\n",
            reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
            int(reply->error()));
        qDebug() << reply->errorString();
    }
    const QByteArray body = timedOut ? QByteArray() : reply->readAll();
    qDebug() << body;
    delete reply;
    return body;
}

QString launchLink(const QByteArray &body)
{
    static const QRegularExpression pattern(QStringLiteral("tencent:[\\s\\S]*env=\\d+"));
    const QRegularExpressionMatch match = pattern.match(QString::fromUtf8(body));
    if (!match.hasMatch())
        return QString();
    return match.captured(0).replace(QLatin1String("\\/"), QLatin1String("/"));
}

QString navigationScript(const QString &link)
{
    return QStringLiteral("window.location.href=%1;").arg(jsStringLiteral(link));
}

QString hideInstallFramesScript()
{
    return QStringLiteral(
        "(function hide(){setInterval(function(){"
        "if (typeof $ !== 'function') return;"
        "$(\"iframe[id^='_QD_INSTALL_QQ_IFRAME_ID_PREFIX_']\").each(function(){$(this).hide();});"
        "},100);})();");
}

} // namespace ProtocolFetch
