#include "updatecheck.h"

#include "clientsettings.h"
#include "machineidentity.h"

#include <QCommandLineParser>
#include <QDebug>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSysInfo>
#include <QTimer>
#include <QUrl>

namespace UpdateCheck {

struct OptionSpec {
    const char *shortName;
    const char *longName;
    const char *description;
    const char *defaultValue;
};

static const OptionSpec Options[] = {
    {"n", "localVersion", "local version", "0"},
    {"m", "mainProgram", "the program who start updater", ""},
    {"c", "companyName", "user company name", ""},
    {"p", "productId", "user product id", ""},
    {"i", "installerType", "installer type", "2"},
    {"s", "source", "installer source", "all"},
    {"t", "triggerType", "update action trigger type", "0"},
    {"u", "ServiceUrl", "update Url", ""},
};

void addOptions(QCommandLineParser &parser)
{
    QList<QCommandLineOption> options;
    for (const OptionSpec &o : Options) {
        const QString longName = QLatin1String(o.longName);
        options << QCommandLineOption({QLatin1String(o.shortName), longName},
                                      QLatin1String(o.description), longName,
                                      QLatin1String(o.defaultValue));
    }
    parser.addOptions(options);
}

QString settingText(const QString &iniFile, const QString &key)
{
    return ClientSettings(iniFile, QString(), QString()).text(key);
}

bool packageManaged()
{
    return QFile::exists(QString::fromLatin1(packageManagedMarker));
}

Installation readInstallation()
{
    const ClientSettings settings;
    return Installation{settings.text(QStringLiteral("Sys/Version")),
                        settings.text(QStringLiteral("Sys/ServiceUrl")),
                        settings.text(QStringLiteral("Sys/Source")),
                        MachineIdentity::machineUuid()};
}

Request buildRequest(const QCommandLineParser &parser, const Installation &installation)
{
    Request request;
    QJsonObject &body = request.body;
    body.insert(QStringLiteral("installerType"), 2);
    body.insert(QStringLiteral("source"), installation.source);
    body.insert(QStringLiteral("localVersion"), installation.version);
    body.insert(QStringLiteral("triggerType"), 0);
    body.insert(QStringLiteral("sysType"), QSysInfo::productType());
    body.insert(QStringLiteral("sysVersion"), QSysInfo::productVersion());
    body.insert(QStringLiteral("sysArch"), QSysInfo::currentCpuArchitecture());
    body.insert(QStringLiteral("clientId"), installation.clientId);

    if (parser.isSet(QStringLiteral("m")))
        request.mainProgram = parser.value(QStringLiteral("m")).trimmed();
    // Values are taken as the parser returns them ("-c Acme" as one argument keeps
    // its leading blank), except where the service needs them trimmed.
    const struct {
        const char *option;
        const char *member;
        bool trim;
    } overrides[] = {{"c", "companyName", false}, {"p", "productId", false},
                     {"i", "installerType", false}, {"s", "source", true},
                     {"t", "triggerType", false}, {"n", "localVersion", false}};
    for (const auto &o : overrides) {
        const QString name = QLatin1String(o.option);
        if (parser.isSet(name)) {
            const QString value = parser.value(name);
            body.insert(QLatin1String(o.member), o.trim ? value.trimmed() : value);
        }
    }
    QString serviceUrl = installation.serviceUrl;
    if (parser.isSet(QStringLiteral("u")))
        serviceUrl = parser.value(QStringLiteral("u")).trimmed();
    request.url = serviceUrl + QStringLiteral("?method=GetInstaller");
    return request;
}

QByteArray postJson(const QString &url, const QJsonObject &body, int timeoutMs)
{
    QNetworkRequest request(QUrl(url, QUrl::TolerantMode));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    QNetworkAccessManager manager;
    manager.setTransferTimeout(timeoutMs);
    QEventLoop loop;
    QObject::connect(&manager, &QNetworkAccessManager::finished, &loop, &QEventLoop::quit);
    QNetworkReply *reply =
        manager.post(request, QJsonDocument(body).toJson(QJsonDocument::Compact));
    // Qt buffers no more than one answer's worth; the rest waits in the socket.
    reply->setReadBufferSize(MaxAnswerBytes);
    QByteArray answer;
    QString problem;
    QObject::connect(reply, &QNetworkReply::readyRead, &loop, [&] {
        answer += reply->read(MaxAnswerBytes + 1 - answer.size());
        if (answer.size() > MaxAnswerBytes && problem.isEmpty()) {
            problem = QStringLiteral("the answer is longer than %1 bytes").arg(MaxAnswerBytes);
            reply->abort();
        }
    });
    // A deadline for the whole answer: a server that keeps sending never goes silent.
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, [&] {
        problem = QStringLiteral("no complete answer within %1 ms").arg(timeoutMs);
        reply->abort();
    });
    deadline.start(timeoutMs);
    if (!reply->isFinished())
        loop.exec();
    deadline.stop();
    if (problem.isEmpty() && reply->isOpen())
        answer += reply->read(MaxAnswerBytes + 1 - answer.size());
    if (problem.isEmpty() && answer.size() > MaxAnswerBytes)
        problem = QStringLiteral("the answer is longer than %1 bytes").arg(MaxAnswerBytes);
    reply->deleteLater();
    if (!problem.isEmpty()) {
        qDebug().noquote() << "update check failed:" << problem;
        return QByteArray();
    }
    return answer;
}

Answer parseAnswer(const QByteArray &body)
{
    Answer answer;
    if (body.size() > MaxAnswerBytes) {
        answer.problem = QStringLiteral("the answer is longer than %1 bytes").arg(MaxAnswerBytes);
        return answer;
    }
    QJsonParseError error;
    const QJsonObject root = QJsonDocument::fromJson(body, &error).object();
    if (error.error != QJsonParseError::NoError)
        answer.problem = QStringLiteral("the answer is no JSON: ") + error.errorString();
    if (root.value(QStringLiteral("success")) != QJsonValue(true))
        return answer;
    answer.answered = true;
    const QJsonObject data = root.value(QStringLiteral("data")).toObject();
    answer.needUpdate = data.value(QStringLiteral("needUpdate")) == QJsonValue(true);
    answer.url = data.value(QStringLiteral("url")).toString();
    answer.installerName = data.value(QStringLiteral("installerName")).toString();
    answer.sha256 = data.value(QStringLiteral("sha256")).toString();
    answer.signature = data.value(QStringLiteral("signature")).toString();
    return answer;
}

} // namespace UpdateCheck
