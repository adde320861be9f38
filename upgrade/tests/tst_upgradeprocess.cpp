// The real MervoUpgrade program against an update service and downloads on 127.0.0.1.
#include "testhttpserver.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <thread>

struct Recorded {
    QMutex mutex;
    QString method, path, query, contentType;
    QByteArray body;
    int posts = 0;
    int installerGets = 0;
    // What the update service answers next.
    int status = 200;
    QByteArray answer = "{\"success\":true,\"data\":{\"needUpdate\":false}}";
    bool stall = false;
};

class TestUpgradeProcess : public QObject
{
    Q_OBJECT

private:
    TestHttpServer server;
    Recorded rec;
    std::atomic<bool> release{false};
    QTemporaryDir folder;     // the program folder (updater's working directory)
    QTemporaryDir scratch;    // the stand-in client and the installer's record
    QByteArray installer;
    QProcess client;

    QString recordFile() const { return scratch.filePath("installer-record.txt"); }
    QString tempFile(const QString &name) const { return QDir(QDir::tempPath()).filePath(name); }

    void answerWith(int status, const QByteArray &body)
    {
        QMutexLocker lock(&rec.mutex);
        rec.status = status;
        rec.answer = body;
        rec.posts = 0;
        rec.installerGets = 0;
        rec.stall = false;
    }

    QByteArray updateAnswer(const QString &path, const QString &name, const QString &sha = QString())
    {
        QJsonObject data{{"needUpdate", true}, {"url", server.url(path).toString()}, {"installerName", name}};
        if (!sha.isEmpty())
            data.insert("sha256", sha);
        return QJsonDocument(QJsonObject{{"success", true}, {"data", data}}).toJson();
    }

    int runUpdater(const QStringList &args, qint64 *elapsedMs = nullptr, int timeoutMs = 60000)
    {
        QProcess updater;
        updater.setWorkingDirectory(folder.path());
        updater.setProcessChannelMode(QProcess::ForwardedChannels);
        QElapsedTimer clock;
        clock.start();
        updater.start(MERVO_UPGRADE_BINARY, args);
        if (!updater.waitForFinished(timeoutMs)) {
            updater.kill();
            updater.waitForFinished();
            return -1;
        }
        if (elapsedMs)
            *elapsedMs = clock.elapsed();
        return updater.exitStatus() == QProcess::NormalExit ? updater.exitCode() : -2;
    }

    void setServiceUrl(const QString &url)
    {
        QSettings s(folder.filePath("config.ini"), QSettings::IniFormat);
        s.setValue("Sys/ServiceUrl", url);
    }

    void startStandInClient()
    {
        client.start(scratch.filePath("FakeClient"), {"300"});
        QVERIFY(client.waitForStarted());
    }

    bool installerRan() const { return QFile::exists(recordFile()); }

    QStringList installerRecord() const
    {
        QFile f(recordFile());
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
    }

    void expectNothingInstalled(const QString &name)
    {
        QTest::qWait(500);
        QVERIFY(!installerRan());
        QVERIFY(!QFile::exists(tempFile(name)));
        QCOMPARE(client.state(), QProcess::Running);
    }

private slots:
    void initTestCase()
    {
        installer = "#!/bin/sh\n{ pwd; for a in \"$@\"; do echo \"$a\"; done; } > \""
            + recordFile().toUtf8() + ".part\" && mv \"" + recordFile().toUtf8() + ".part\" \""
            + recordFile().toUtf8() + "\"\n";
        QVERIFY(QFile::copy("/bin/sleep", scratch.filePath("FakeClient")));

        httplib::Server &s = server.server();
        s.Post(R"(/api\d?)", [this](const httplib::Request &req, httplib::Response &res) {
            int status;
            QByteArray answer;
            bool stall;
            {
                QMutexLocker lock(&rec.mutex);
                rec.method = QString::fromStdString(req.method);
                rec.path = QString::fromStdString(req.path);
                rec.query = req.params.empty() ? QString()
                    : QString::fromStdString(req.params.begin()->first);
                rec.contentType = QString::fromStdString(req.get_header_value("Content-Type"));
                rec.body = QByteArray::fromStdString(req.body);
                ++rec.posts;
                status = rec.status;
                answer = rec.answer;
                stall = rec.stall;
            }
            for (int i = 0; stall && i < 400 && !release; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            res.status = status;
            res.set_content(answer.toStdString(), "application/json");
        });
        const std::string script = installer.toStdString();
        s.Get("/installer.sh", [this, script](const httplib::Request &, httplib::Response &res) {
            { QMutexLocker lock(&rec.mutex); ++rec.installerGets; }
            res.set_content(script, "application/octet-stream");
        });
        s.Get("/moved", [](const httplib::Request &, httplib::Response &res) {
            res.set_redirect("/installer.sh");
        });
        s.Get("/missing", [](const httplib::Request &, httplib::Response &res) {
            res.status = 404;
            res.set_content("<html>not found</html>", "text/html");
        });
        s.Get("/cut", [script](const httplib::Request &, httplib::Response &res) {
            res.set_content_provider(script.size() * 10, "application/octet-stream",
                [script](size_t offset, size_t, httplib::DataSink &sink) {
                    if (offset > 0)
                        return false; // the connection drops after the first part
                    sink.write(script.data(), script.size());
                    return true;
                });
        });
        s.Get("/stall", [this, script](const httplib::Request &, httplib::Response &res) {
            res.set_content_provider(script.size() * 2, "application/octet-stream",
                [this, script](size_t offset, size_t, httplib::DataSink &sink) {
                    if (offset == 0) {
                        sink.write(script.data(), script.size());
                        return true;
                    }
                    for (int i = 0; i < 900 && !release; ++i)
                        std::this_thread::sleep_for(std::chrono::milliseconds(50));
                    return false;
                });
        });
        QVERIFY(server.start());
    }

    void init()
    {
        QFile::remove(folder.filePath("config.ini"));
        QFile::remove(recordFile());
        answerWith(200, "{\"success\":true,\"data\":{\"needUpdate\":false}}");
    }

    void cleanup()
    {
        client.kill();
        client.waitForFinished();
    }

    void cleanupTestCase() { release = true; }

    void noOptionsNoConfig_sendsNothing_exitsZero()
    {
        QCOMPARE(runUpdater({}), 0);
        QCOMPARE(rec.posts, 0);
    }

    void request_methodUrlContentTypeAndBody()
    {
        setServiceUrl(server.url("/api").toString());
        {
            QSettings s(folder.filePath("config.ini"), QSettings::IniFormat);
            s.setValue("Sys/Version", "1.0.7");
            s.setValue("Sys/Source", "x");
        }
        QCOMPARE(runUpdater({"-i", "3", "-t", "1", "-c Acme", "-s", "  y  ", "-m MervoClient"}), 0);
        QMutexLocker lock(&rec.mutex);
        QCOMPARE(rec.posts, 1);
        QCOMPARE(rec.method, QStringLiteral("POST"));
        QCOMPARE(rec.path, QStringLiteral("/api"));
        QCOMPARE(rec.query, QStringLiteral("method"));
        QCOMPARE(rec.contentType, QStringLiteral("application/json"));
        const QJsonObject body = QJsonDocument::fromJson(rec.body).object();
        QCOMPARE(body.value("installerType"), QJsonValue("3"));
        QCOMPARE(body.value("triggerType"), QJsonValue("1"));
        QCOMPARE(body.value("companyName"), QJsonValue(" Acme"));
        QCOMPARE(body.value("source"), QJsonValue("y"));
        QCOMPARE(body.value("localVersion"), QJsonValue("1.0.7"));
        QVERIFY(!body.value("clientId").toString().isEmpty());
        QVERIFY(!rec.body.contains('\n') && !rec.body.contains(": "));
    }

    void request_uOptionOverridesServiceUrl()
    {
        setServiceUrl("http://127.0.0.1:1/unused");
        QCOMPARE(runUpdater({"-u", " " + server.url("/api2").toString() + " "}), 0);
        QCOMPARE(rec.path, QStringLiteral("/api2"));
        QCOMPARE(rec.posts, 1);
    }

    void answers_stringTrueOrBrokenBody_exitAtOnceWithoutDownload_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::newRow("success string") << 200 << QByteArray("{\"success\":\"true\",\"data\":{\"needUpdate\":true,\"url\":\"x\",\"installerName\":\"a\"}}");
        QTest::newRow("needUpdate string") << 200 << QByteArray("{\"success\":true,\"data\":{\"needUpdate\":\"true\",\"url\":\"x\",\"installerName\":\"a\"}}");
        QTest::newRow("broken") << 200 << QByteArray("{\"success\":tru");
        QTest::newRow("error page") << 502 << QByteArray("<html>bad gateway</html>");
    }

    void answers_stringTrueOrBrokenBody_exitAtOnceWithoutDownload()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        setServiceUrl(server.url("/api").toString());
        answerWith(status, body);
        QCOMPARE(runUpdater({}), 0);
        QCOMPARE(rec.posts, 1);
        QCOMPARE(rec.installerGets, 0);
    }

    void serviceThatNeverAnswers_exitsAfterTheTransferTimeout()
    {
        setServiceUrl(server.url("/api").toString());
        answerWith(200, "{}");
        rec.stall = true;
        qint64 elapsed = 0;
        QCOMPARE(runUpdater({}, &elapsed), 0);
        QVERIFY2(elapsed >= 4500 && elapsed < 15000, qPrintable(QString::number(elapsed)));
        release = true;
        QTest::qWait(100);
        release = false;
    }

    void update_downloadsIntoTemp_endsClient_runsInstallerSilently()
    {
        setServiceUrl(server.url("/api").toString());
        answerWith(200, updateAnswer("/installer.sh", "MervoSetup.sh"));
        startStandInClient();
        QCOMPARE(runUpdater({"-m FakeClient"}), 0);
        QVERIFY(client.waitForFinished(5000));
        QCOMPARE(client.exitStatus(), QProcess::CrashExit);
        QVERIFY(QTest::qWaitFor([&] { return installerRan(); }, 10000));
        QCOMPARE(installerRecord(), (QStringList{folder.path(), "/SILENT"}));
        QFile saved(tempFile("MervoSetup.sh"));
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), installer);
    }

    void update_withoutMainProgram_endsNothing_httpErrorStatusStillChecked()
    {
        setServiceUrl(server.url("/api").toString());
        // The check's own HTTP status does not matter, only its JSON.
        answerWith(500, updateAnswer("/installer.sh", "MervoSetup2.sh"));
        startStandInClient();
        QCOMPARE(runUpdater({}), 0);
        QVERIFY(QTest::qWaitFor([&] { return installerRan(); }, 10000));
        QCOMPARE(client.state(), QProcess::Running);
    }

    void update_behindRedirect_withMatchingChecksum_isInstalled()
    {
        setServiceUrl(server.url("/api").toString());
        const QString sha = QCryptographicHash::hash(installer, QCryptographicHash::Sha256).toHex();
        answerWith(200, updateAnswer("/moved", "MervoSetup3.sh", sha.toUpper()));
        QCOMPARE(runUpdater({}), 0);
        QVERIFY(QTest::qWaitFor([&] { return installerRan(); }, 10000));
        QFile saved(tempFile("MervoSetup3.sh"));
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), installer);
    }

    void badDownloads_installNothing_leaveClientRunning_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("sha");
        QTest::newRow("cut off") << "/cut" << "cut.sh" << "";
        QTest::newRow("404") << "/missing" << "missing.sh" << "";
        QTest::newRow("traversal") << "/installer.sh" << "../../evil.sh" << "";
        QTest::newRow("empty name") << "/installer.sh" << "" << "";
        QTest::newRow("sha mismatch") << "/installer.sh" << "sha.sh" << QString(64, 'a');
        QTest::newRow("no such host") << "http://127.0.0.1:1/x" << "nohost.sh" << "";
    }

    void badDownloads_installNothing_leaveClientRunning()
    {
        QFETCH(QString, path);
        QFETCH(QString, name);
        QFETCH(QString, sha);
        setServiceUrl(server.url("/api").toString());
        QByteArray answer = updateAnswer(path, name, sha);
        if (path.startsWith("http"))
            answer.replace(server.url(path).toString().toUtf8(), path.toUtf8());
        answerWith(200, answer);
        startStandInClient();
        QCOMPARE(runUpdater({"-m FakeClient"}), 0);
        if (!name.isEmpty() && !name.contains('/'))
            expectNothingInstalled(name);
        QVERIFY(!QFile::exists(QDir(QDir::tempPath()).filePath("../../evil.sh")));
        QCOMPARE(client.state(), QProcess::Running);
        QVERIFY(!installerRan());
    }

    void stalledDownload_isAbandonedAfter30sWithoutData()
    {
        setServiceUrl(server.url("/api").toString());
        answerWith(200, updateAnswer("/stall", "stall.sh"));
        startStandInClient();
        qint64 elapsed = 0;
        QCOMPARE(runUpdater({"-m FakeClient"}, &elapsed, 90000), 0);
        QVERIFY2(elapsed >= 29000 && elapsed < 60000, qPrintable(QString::number(elapsed)));
        expectNothingInstalled("stall.sh");
        release = true;
    }

    void commandLine_errorsExitOne_helpAndVersionExitZero()
    {
        QCOMPARE(runUpdater({"--no-such-option"}), 1);
        QCOMPARE(runUpdater({"-m"}), 1);
        QCOMPARE(runUpdater({"--help"}), 0);
        QCOMPARE(runUpdater({"--version"}), 0);
    }
};

QTEST_GUILESS_MAIN(TestUpgradeProcess)
#include "tst_upgradeprocess.moc"
