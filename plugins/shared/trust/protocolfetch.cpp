#include "protocolfetch.h"

#include "clientsettings.h"
#include "jsstring.h"

#include <QDebug>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QTimer>

namespace ProtocolFetch {

bool isProtocolRequest(const QString &url)
{
    return url.contains(QLatin1String("/tp/wpaCall/getProtocol?"));
}

QString relayAddress(const QString &address)
{
    const ClientSettings settings;
    const QString origin = settings.text(QStringLiteral("Sys/QidianOrigin"));
    const QString relay = settings.text(QStringLiteral("Sys/QidianRelay"));
    if (origin.isEmpty() || relay.isEmpty())
        return address;
    QString rewritten = address;
    return rewritten.replace(origin, relay, Qt::CaseSensitive);
}

void fetch(const QString &address, QObject *context,
           std::function<void(const QByteArray &body)> done, int timeoutMs)
{
    // Owned by context: its end aborts the request instead of answering a page that is gone.
    auto *manager = new QNetworkAccessManager(context);
    QNetworkRequest request{QUrl(address)};
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    QNetworkReply *reply = manager->get(request);

    auto *timer = new QTimer(reply);
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer); // a coarse timer may end the wait 5 % early
    QObject::connect(timer, &QTimer::timeout, reply, [reply, timeoutMs, address] {
        qDebug() << "request protobufHttp gave up after" << timeoutMs << "ms:" << address;
        reply->setProperty("mervoTimedOut", true);
        reply->abort();
    });
    timer->start(timeoutMs);
    // When context goes first, the manager and its reply go with it; the answer is
    // then never delivered.
    auto finished = std::make_shared<QMetaObject::Connection>();
    auto abandoned = std::make_shared<QMetaObject::Connection>();
    *abandoned = QObject::connect(context, &QObject::destroyed, [address, finished] {
        QObject::disconnect(*finished);
        qDebug() << "request protobufHttp abandoned, its page is gone:" << address;
    });

    *finished = QObject::connect(reply, &QNetworkReply::finished, manager, [=] {
        QObject::disconnect(*abandoned);
        const bool timedOut = reply->property("mervoTimedOut").toBool();
        if (timedOut) {
            // Already logged when the bound was reached.
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
        manager->deleteLater();
        done(body);
    });
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
