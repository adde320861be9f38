#include "demoservice.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>
#include <QUuid>

#include <httplib.h>

#include <cstdio>

namespace {

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void appendLine(const QString &path, const QByteArray &line)
{
    QFile file(path);
    if (file.open(QIODevice::Append))
        file.write(line + '\n');
}

void sendJson(httplib::Response &res, const QJsonObject &object)
{
    res.set_content(QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString(),
                    "application/json; charset=utf-8");
}

QString param(const httplib::Request &req, const char *name)
{
    return QString::fromStdString(req.get_param_value(name));
}

// Streams size bytes of a repeating pattern without holding them in memory.
void streamFile(httplib::Response &res, const std::string &disposition, size_t size)
{
    res.set_header("Content-Disposition", disposition);
    res.set_content_provider(size, "application/octet-stream",
        [](size_t offset, size_t length, httplib::DataSink &sink) {
            static const std::string block = [] {
                std::string b(1 << 16, '\0');
                for (size_t i = 0; i < b.size(); ++i)
                    b[i] = char('a' + i % 26);
                return b;
            }();
            const size_t n = std::min(length, block.size());
            const size_t start = offset % 26;
            sink.write(block.data() + start, std::min(n, block.size() - start));
            return true;
        });
}

} // namespace

DemoService::DemoService(const QString &demoDir, const QString &stateDir, const QString &updateDir)
    : server(std::make_unique<httplib::Server>())
    , demoDir(demoDir)
    , stateDir(stateDir)
    , updateDir(updateDir)
{
    QDir().mkpath(stateDir);
    routes();
}

DemoService::~DemoService() = default;

int DemoService::bind(int wanted)
{
    port = wanted > 0 ? (server->bind_to_port("127.0.0.1", wanted) ? wanted : -1)
                      : server->bind_to_any_port("127.0.0.1");
    return port;
}

QString DemoService::base() const
{
    return QStringLiteral("http://%1:%2").arg(publicHost).arg(port);
}

void DemoService::run()
{
    server->listen_after_bind();
}

void DemoService::stop()
{
    server->stop();
}

// The update package on offer (the MervoSetup-<version>.run that make-package.sh left
// in the update folder) as answer members: url, installerName and, when it is signed,
// signature (its .minisig).
QJsonObject DemoService::updatePackage() const
{
    const QFileInfoList packages = QDir(updateDir).entryInfoList(
        {QStringLiteral("MervoSetup-*.run")}, QDir::Files, QDir::Name);
    if (packages.isEmpty()) {
        std::fprintf(stderr, "update: no package in %s (make demo builds it)\n",
                     qPrintable(updateDir));
        return {};
    }
    const QFileInfo package = packages.last();
    QJsonObject members{{"url", "/installer/" + package.fileName()},
                        {"installerName", package.fileName()}};
    const QByteArray signature = readFile(package.filePath() + ".minisig");
    if (!signature.isEmpty())
        members["signature"] = QString::fromUtf8(signature);
    return members;
}

QJsonArray DemoService::accounts() const
{
    return QJsonDocument::fromJson(readFile(demoDir + "/accounts.json")).array();
}

void DemoService::routes()
{
    server->set_mount_point("/", (demoDir + "/site").toStdString());
    server->set_file_extension_and_mimetype_mapping("html", "text/html; charset=utf-8");
    server->set_file_extension_and_mimetype_mapping("js", "application/javascript; charset=utf-8");

    server->Get("/assets/qwebchannel.js", [](const httplib::Request &, httplib::Response &res) {
        res.set_content(readFile(MERVO_QWEBCHANNEL_JS).toStdString(), "application/javascript");
    });

    // Credentials check: the page then stores the login through the client's bridge.
    server->Post("/api/login", [this](const httplib::Request &req, httplib::Response &res) {
        const QJsonObject form = QJsonDocument::fromJson(QByteArray::fromStdString(req.body)).object();
        for (const QJsonValue &value : accounts()) {
            const QJsonObject account = value.toObject();
            if (account["company"] == form["company"] && account["user"] == form["user"]
                && account["password"] == form["password"]) {
                const QString token = QStringLiteral("%1:%2:%3")
                    .arg(account["company"].toString(), account["user"].toString(),
                         QUuid::createUuid().toString(QUuid::Id128));
                const QString workspace = QStringLiteral("%1/workspace/main.html?token=%2")
                    .arg(base()).arg(QString::fromLatin1(QUrl::toPercentEncoding(token)));
                sendJson(res, {{"ok", true}, {"productName", account["productName"]},
                               {"productId", account["productId"]}, {"token", token},
                               {"workspaceUrl", workspace}});
                return;
            }
        }
        sendJson(res, {{"ok", false}, {"message", QStringLiteral("公司、用户名或密码错误")}});
    });

    server->Get("/api/workspace-url", [this](const httplib::Request &req, httplib::Response &res) {
        sendJson(res, {{"url", QStringLiteral("%1/workspace/main.html?token=%2")
                                   .arg(base()).arg(QString::fromLatin1(QUrl::toPercentEncoding(param(req, "token"))))}});
    });

    // Who a workspace token belongs to; tokens name an account of accounts.json.
    server->Get("/api/session", [this](const httplib::Request &req, httplib::Response &res) {
        const QStringList parts = param(req, "token").split(':');
        QJsonArray known = accounts();
        {
            QMutexLocker lock(&registeredMutex);
            for (const auto &r : qAsConst(registered))
                known.append(QJsonObject{{"company", r.first}, {"user", r.second},
                                         {"productName", QStringLiteral("Mervo 演示版")}});
        }
        for (const QJsonValue &value : qAsConst(known)) {
            const QJsonObject account = value.toObject();
            if (parts.size() == 3 && account["company"] == parts[0] && account["user"] == parts[1]) {
                sendJson(res, {{"ok", true}, {"company", parts[0]}, {"user", parts[1]},
                               {"productName", account["productName"]}});
                return;
            }
        }
        sendJson(res, {{"ok", false}});
    });

    // Registration ends on the service's main page, which logs the new user in.
    server->Post("/register/finish", [this](const httplib::Request &req, httplib::Response &res) {
        const QString company = param(req, "company").isEmpty() ? "Acme" : param(req, "company");
        {
            QMutexLocker lock(&registeredMutex);
            registered.append({company, QStringLiteral("admin")});
        }
        const QString token = company + ":admin:" + QUuid::createUuid().toString(QUuid::Id128);
        res.set_redirect(QStringLiteral("/workspace/main.html?token=%1&welcome=1")
                             .arg(QString::fromLatin1(QUrl::toPercentEncoding(token)))
                             .toStdString());
    });

    // The chat provider's protocol call answers with the QQ launch link.
    server->Get("/tp/wpaCall/getProtocol", [](const httplib::Request &, httplib::Response &res) {
        res.set_content(R"({"code":0,"data":{"url":"tencent:\/\/message\/?uin=800000001&Site=mervo&Menu=yes&env=2"}})",
                        "application/json");
    });

    // A link whose redirect leaves the service host (the same machine under another name).
    server->Get("/leave", [this](const httplib::Request &, httplib::Response &res) {
        res.set_redirect(QStringLiteral("http://localhost:%1/account/outside.html").arg(port).toStdString());
    });

    server->Get("/files/report.xlsx", [](const httplib::Request &, httplib::Response &res) {
        res.set_header("Content-Disposition", "attachment; filename=\"report.xlsx\"");
        res.set_content("region,quarter,revenue\nnorth,Q1,120000\nsouth,Q1,98000\n",
                        "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet");
    });
    server->Get("/files/chinese", [](const httplib::Request &, httplib::Response &res) {
        res.set_header("Content-Disposition",
                       "attachment; filename*=UTF-8''%E5%AD%A3%E5%BA%A6%E6%8A%A5%E8%A1%A8.xlsx");
        res.set_content("季度,收入\nQ1,120000\n", "application/octet-stream");
    });
    server->Get("/files/large.bin", [](const httplib::Request &req, httplib::Response &res) {
        const size_t mib = req.has_param("mb") ? std::stoul(req.get_param_value("mb")) : 64;
        streamFile(res, "attachment; filename=\"large.bin\"", mib << 20);
    });

    // A transfer that breaks off: announces mb MiB, sends kb KiB of it and drops the
    // connection, on every request (so also when the client tries to resume it).
    server->Get("/files/cut.bin", [this](const httplib::Request &req, httplib::Response &res) {
        const size_t announced = size_t(qMax(1u, param(req, "mb").toUInt())) << 20;
        const size_t sent =
            std::min(announced / 2, size_t(qMax(1u, param(req, "kb").toUInt())) << 10);
        appendLine(stateDir + "/cut-requests.log",
                   QByteArray::fromStdString(req.get_header_value("Range")));
        res.set_header("Content-Disposition", "attachment; filename=\"cut.bin\"");
        res.set_content_provider(
            announced, "application/octet-stream",
            [sent](size_t offset, size_t length, httplib::DataSink &sink) {
                const std::string chunk(offset < sent ? std::min(length, sent - offset) : 0, 'c');
                return !chunk.empty() && sink.write(chunk.data(), chunk.size());
            });
    });

    // The update service: answers from update.json, which a person may edit. An answer
    // that needs an update but names no url offers the update package; members that
    // update.json gives (a signature, an installer name) win over the package's.
    server->Post("/update", [this](const httplib::Request &req, httplib::Response &res) {
        appendLine(stateDir + "/update-requests.log",
                   QDateTime::currentDateTime().toString(Qt::ISODate).toUtf8() + ' '
                       + QByteArray::fromStdString(req.body));
        QJsonObject answer = QJsonDocument::fromJson(readFile(demoDir + "/update.json")).object();
        QJsonObject data = answer["data"].toObject();
        if (data["needUpdate"] == QJsonValue(true) && !data.contains("url")) {
            const QJsonObject members = updatePackage();
            for (auto it = members.begin(); it != members.end(); ++it) {
                if (!data.contains(it.key()))
                    data[it.key()] = it.value();
            }
        }
        const QString url = data["url"].toString();
        if (url.startsWith('/'))
            data["url"] = base() + url;
        answer["data"] = data;
        sendJson(res, answer);
    });

    server->Get(R"(/installer/(MervoSetup-[0-9.]+\.run))", [this](const httplib::Request &req,
                                                                  httplib::Response &res) {
        const QString path = QDir(updateDir).filePath(QString::fromStdString(req.matches[1].str()));
        if (!QFileInfo(path).isFile()) {
            res.status = 404;
            return;
        }
        res.set_content(readFile(path).toStdString(), "application/octet-stream");
    });
}
