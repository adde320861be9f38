// The real MervoUpgrade program against an update service and downloads on 127.0.0.1,
// with installers signed by minisign keys made for the test build (first and second
// trusted, other not).
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
    // How the update service misbehaves: "" answers, "endless" never ends, "drip"
    // sends a byte now and then.
    QByteArray answerMode;
};

static const QString Signed = QStringLiteral(MERVO_UPGRADE_SIGNED);
static const QString Unsigned = QStringLiteral(MERVO_UPGRADE_UNSIGNED);
static const QString Product = QStringLiteral(MERVO_UPGRADE_PRODUCT);
static const QString InstalledVersion = QStringLiteral("1.0.0.10");
static const QString UpdaterVersion = QStringLiteral(MERVO_VERSION);

class TestUpgradeProcess : public QObject
{
    Q_OBJECT

private:
    TestHttpServer server;
    Recorded rec;
    std::atomic<bool> release{false};
    QTemporaryDir folder;  // the program folder (updater's working directory)
    QTemporaryDir scratch; // the stand-in client, the installer's record, signing
    QByteArray installer;
    QProcess client;
    // Named for this run: updaters of other runs on the machine end theirs by name.
    const QString clientName =
        QStringLiteral("FakeClient-%1").arg(QCoreApplication::applicationPid());
    QString output; // what the last updater run logged
    int installs = 0;

    QString recordFile() const { return scratch.filePath("installer-record.txt"); }
    QString restartRecord() const { return scratch.filePath("client-restarted.txt"); }
    QString tempFile(const QString &name) const { return QDir(QDir::tempPath()).filePath(name); }

    void answerWith(int status, const QByteArray &body)
    {
        QMutexLocker lock(&rec.mutex);
        rec.status = status;
        rec.answer = body;
        rec.posts = 0;
        rec.installerGets = 0;
        rec.stall = false;
        rec.answerMode.clear();
    }

    // The answer's data members for bytes signed under name with tools/sign-installer.sh.
    QJsonObject sign(const QByteArray &bytes, const QString &name, const QString &version,
                     const QString &key = "first")
    {
        QDir(scratch.path()).mkpath("sign");
        const QString path = scratch.filePath("sign/" + name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return {};
        file.close();
        QProcess tool;
        tool.start("bash",
                   {MERVO_SIGN_TOOL, path, version, QString(MERVO_TEST_KEYS "/%1.key").arg(key)});
        tool.waitForFinished();
        return QJsonDocument::fromJson(tool.readAllStandardOutput()).object();
    }

    QByteArray updateAnswer(const QString &path, const QString &name, QJsonObject data = {})
    {
        data.insert("needUpdate", true);
        data.insert("url", path.contains(':') ? path : server.url(path).toString());
        data.insert("installerName", name);
        return QJsonDocument(QJsonObject{{"success", true}, {"data", data}}).toJson();
    }

    // The updater, with extra environment entries ("NAME=value"); FSIZE_KIB=n lets its
    // writes fail beyond n KiB, as on a full disk.
    void startUpdater(QProcess &updater, const QStringList &args, const QString &program,
                      const QStringList &env = {})
    {
        updater.setWorkingDirectory(folder.path());
        updater.setProcessChannelMode(QProcess::MergedChannels);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        QString fsize;
        for (const QString &entry : env) {
            const QString name = entry.section('=', 0, 0);
            if (name == "FSIZE_KIB")
                fsize = entry.section('=', 1);
            else
                environment.insert(name, entry.section('=', 1));
        }
        updater.setProcessEnvironment(environment);
        if (fsize.isEmpty())
            updater.start(program, args);
        else
            updater.start("bash",
                          QStringList{"-c",
                                      "trap '' XFSZ; ulimit -f " + fsize + "; exec \"$0\" \"$@\"",
                                      program} +
                              args);
    }

    int runUpdater(const QStringList &args, qint64 *elapsedMs = nullptr, int timeoutMs = 60000,
                   const QString &program = Signed, const QStringList &env = {})
    {
        QProcess updater;
        QElapsedTimer clock;
        clock.start();
        startUpdater(updater, args, program, env);
        const bool finished = updater.waitForFinished(timeoutMs);
        if (!finished) {
            updater.kill();
            updater.waitForFinished();
        }
        output = QString::fromUtf8(updater.readAll());
        if (!output.isEmpty())
            qDebug().noquote() << "updater:" << output.trimmed();
        if (!finished)
            return -1;
        if (elapsedMs)
            *elapsedMs = clock.elapsed();
        return updater.exitStatus() == QProcess::NormalExit ? updater.exitCode() : -2;
    }

    void setServiceUrl(const QString &url, const QString &version = InstalledVersion)
    {
        QSettings s(folder.filePath("config.ini"), QSettings::IniFormat);
        s.setValue("Sys/ServiceUrl", url);
        if (version.isEmpty())
            s.remove("Sys/Version");
        else
            s.setValue("Sys/Version", version);
    }

    void startStandInClient()
    {
        client.start(scratch.filePath(clientName), {"300"});
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

    // No partial downloads left behind in the temporary folder.
    QStringList leftovers() const
    {
        return QDir(QDir::tempPath()).entryList({"*.part-*"}, QDir::Files);
    }

    static QByteArray contentOf(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(unreadable)");
    }

    QString keptPath(const QString &name) const
    {
        return scratch.filePath("data/MervoUpgrade/kept-installer/" + name);
    }

    void expectRefused(const QString &reason, const QString &name)
    {
        QVERIFY2(output.contains(reason.startsWith("update check failed:")
                                     ? reason
                                     : "installer refused: " + reason),
                 qPrintable(output));
        QTest::qWait(300);
        QVERIFY(!installerRan());
        QVERIFY(!QFile::exists(tempFile(name)));
        QCOMPARE(client.state(), QProcess::Running);
        QCOMPARE(leftovers(), QStringList());
    }

private slots:
    void initTestCase()
    {
        // It also notes whether the updater's own graphics setting reached it.
        installer = "#!/bin/sh\necho \"${QT_XCB_GL_INTEGRATION-unset}\" > \"" + recordFile().toUtf8() +
            ".gl\"\n{ pwd; for a in \"$@\"; do echo \"$a\"; done; } > \""
            + recordFile().toUtf8() + ".part\" && mv \"" + recordFile().toUtf8() + ".part\" \""
            + recordFile().toUtf8() + "\"\n";
        // Several read buffers long and no whole number of them, so the checks see
        // the download arrive in pieces, up to its last byte.
        installer += "#" + QByteArray(3 * (1 << 20) + 17, 'x') + "\n";
        // Where the updater keeps an installer for the next start.
        qputenv("XDG_DATA_HOME", scratch.filePath("data").toUtf8());
        QVERIFY(QFile::copy("/bin/sleep", scratch.filePath(clientName)));
        // What the updater starts again in the program folder when an installer fails.
        QFile restart(folder.filePath(clientName));
        QVERIFY(restart.open(QIODevice::WriteOnly));
        const QByteArray record = restartRecord().toUtf8();
        restart.write("#!/bin/sh\n{ pwd; echo \"args:$*\"; } > '" + record + ".part' && mv '" +
                      record + ".part' '" + record + "'\n");
        restart.close();
        QVERIFY(restart.setPermissions(restart.permissions() | QFile::ExeOwner));

        httplib::Server &s = server.server();
        s.Post(R"(/api(\d|,v2)?)", [this](const httplib::Request &req, httplib::Response &res) {
            int status;
            QByteArray answer;
            bool stall;
            QByteArray mode;
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
                mode = rec.answerMode;
            }
            if (!mode.isEmpty()) {
                res.set_chunked_content_provider(
                    "application/json", [this, mode](size_t, httplib::DataSink &sink) {
                        static const std::string blanks(64 * 1024, ' ');
                        if (mode == "drip")
                            std::this_thread::sleep_for(std::chrono::milliseconds(200));
                        return !release &&
                               sink.write(blanks.data(), mode == "drip" ? 1 : blanks.size());
                    });
                return;
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
        // As long as the signed file, so that only the signature can tell.
        std::string tampered = script;
        const std::string evil = "\nrm -rf \"$HOME\"\n";
        tampered.replace(tampered.size() - evil.size(), evil.size(), evil);
        s.Get("/tampered.sh", [tampered](const httplib::Request &, httplib::Response &res) {
            res.set_content(tampered, "application/octet-stream");
        });
        s.Get("/broken.sh", [](const httplib::Request &, httplib::Response &res) {
            res.set_content("#!/nonexistent/interpreter\n", "application/octet-stream");
        });
        s.Get("/chunked.sh", [script](const httplib::Request &, httplib::Response &res) {
            res.set_chunked_content_provider("application/octet-stream",
                                             [script](size_t offset, httplib::DataSink &sink) {
                                                 if (offset == 0)
                                                     sink.write(script.data(), script.size());
                                                 else
                                                     sink.done();
                                                 return true;
                                             });
        });
        s.Get("/moved", [](const httplib::Request &, httplib::Response &res) {
            res.set_redirect("/installer.sh");
        });
        s.Get("/missing", [](const httplib::Request &, httplib::Response &res) {
            res.status = 404;
            res.set_content("<html>not found</html>", "text/html");
        });
        s.Get("/cut", [script](const httplib::Request &, httplib::Response &res) {
            res.set_content_provider(
                script.size(), "application/octet-stream",
                [script](size_t offset, size_t, httplib::DataSink &sink) {
                    if (offset > 0)
                        return false; // the connection drops after the first part
                    sink.write(script.data(), script.size() / 2);
                    return true;
                });
        });
        s.Get("/stall", [this, script](const httplib::Request &, httplib::Response &res) {
            res.set_content_provider(
                script.size(), "application/octet-stream",
                [this, script](size_t offset, size_t, httplib::DataSink &sink) {
                    if (offset == 0) {
                        sink.write(script.data(), script.size() / 2);
                        return true;
                    }
                    for (int i = 0; i < 900 && !release; ++i)
                        std::this_thread::sleep_for(std::chrono::milliseconds(50));
                    return false;
                });
        });
        // A download server that misbehaves on purpose, one mode at a time.
        s.Get("/bad/(\\w+)", [this, script](const httplib::Request &req, httplib::Response &res) {
            {
                QMutexLocker lock(&rec.mutex);
                ++rec.installerGets;
            }
            const std::string mode = req.matches[1];
            static const std::string block(64 * 1024, '#');
            const auto endless = [this](size_t, httplib::DataSink &sink) {
                return !release && sink.write(block.data(), block.size());
            };
            if (mode == "endless") {
                res.set_chunked_content_provider("application/octet-stream", endless);
            } else if (mode == "huge") { // 5 GiB announced, sent until the reader leaves
                res.set_content_provider(size_t(5) << 30, "application/octet-stream",
                                         [endless](size_t offset, size_t, httplib::DataSink &sink) {
                                             return endless(offset, sink);
                                         });
            } else if (mode == "drip") {
                res.set_chunked_content_provider(
                    "application/octet-stream", [this](size_t offset, httplib::DataSink &sink) {
                        std::this_thread::sleep_for(std::chrono::milliseconds(100));
                        return !release && offset < 3000 && sink.write("#", 1);
                    });
            } else if (mode == "late") { // all of it, but only after a while
                std::this_thread::sleep_for(std::chrono::milliseconds(2500));
                res.set_content(script, "application/octet-stream");
            } else {
                res.status = 404;
            }
        });
        QVERIFY(server.start());
    }

    void init()
    {
        QFile::remove(folder.filePath("config.ini"));
        QFile::remove(recordFile());
        QFile::remove(restartRecord());
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

    void request_uOptionOverridesServiceUrl_commaInServiceUrlKept()
    {
        setServiceUrl("http://127.0.0.1:1/unused");
        QCOMPARE(runUpdater({"-u", " " + server.url("/api2").toString() + " "}), 0);
        QCOMPARE(rec.path, QStringLiteral("/api2"));
        QCOMPARE(rec.posts, 1);

        // Written by hand, unquoted: QSettings alone would read a list and send nothing.
        QFile ini(folder.filePath("config.ini"));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[Sys]\nServiceUrl=" + server.url("/api").toString().toUtf8() + ",v2\n");
        ini.close();
        answerWith(200, "{}");
        QCOMPARE(runUpdater({}), 0);
        QCOMPARE(rec.posts, 1);
        QCOMPARE(rec.path, QStringLiteral("/api,v2"));
    }

    void answers_stringTrueOrBrokenBody_exitAtOnceWithoutDownload_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("packageManaged");
        QTest::newRow("success string") << 200 << QByteArray("{\"success\":\"true\",\"data\":{\"needUpdate\":true,\"url\":\"x\",\"installerName\":\"a\"}}") << false;
        QTest::newRow("needUpdate string") << 200 << QByteArray("{\"success\":true,\"data\":{\"needUpdate\":\"true\",\"url\":\"x\",\"installerName\":\"a\"}}") << false;
        QTest::newRow("broken") << 200 << QByteArray("{\"success\":tru") << false;
        QTest::newRow("error page") << 502 << QByteArray("<html>bad gateway</html>") << false;
        // The system's package manager updates this folder: not even asked.
        QTest::newRow("package-managed folder, update offered")
            << 200 << QByteArray("{\"success\":true,\"data\":{\"needUpdate\":true,\"url\":\"x\",\"installerName\":\"a\"}}") << true;
    }

    void answers_stringTrueOrBrokenBody_exitAtOnceWithoutDownload()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(bool, packageManaged);
        setServiceUrl(server.url("/api").toString());
        answerWith(status, body);
        QFile marker(folder.filePath("updates-by-package-manager"));
        if (packageManaged)
            QVERIFY(marker.open(QIODevice::WriteOnly));
        QCOMPARE(runUpdater({}), 0);
        marker.remove();
        QCOMPARE(rec.posts, packageManaged ? 0 : 1);
        QCOMPARE(rec.installerGets, 0);
        QCOMPARE(output.contains("updates: managed by the system's package manager"), packageManaged);
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

    void signedUpdate_isPutInPlace_endsClient_runsInstallerSilently_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("legacy");
        QTest::newRow("prehashed, first key") << "/installer.sh"
                                              << "first" << false;
        QTest::newRow("rotation: second key") << "/installer.sh"
                                              << "second" << false;
        QTest::newRow("legacy Ed signature") << "/installer.sh"
                                             << "first" << true;
        QTest::newRow("redirect, no Content-Length") << "/moved"
                                                     << "first" << false;
        QTest::newRow("chunked, no Content-Length") << "/chunked.sh"
                                                    << "first" << false;
    }

    void signedUpdate_isPutInPlace_endsClient_runsInstallerSilently()
    {
        QFETCH(QString, path);
        QFETCH(QString, key);
        QFETCH(bool, legacy);
        const QString name = QStringLiteral("MervoSetup-%1.sh").arg(++installs);
        QJsonObject data = sign(installer, name, "1.0.0.11", key);
        QVERIFY(data.contains("signature") && data.contains("sha256"));
        if (legacy) {
            const QString file = scratch.filePath("sign/" + name);
            QCOMPARE(
                QProcess::execute("minisign", {"-S", "-l", "-s", MERVO_TEST_KEYS "/first.key", "-m",
                                               file, "-t", "file:" + name + " version:1.0.0.11"}),
                0);
            data["signature"] = QString::fromUtf8(contentOf(file + ".minisig"));
            QVERIFY(data["signature"].toString().split('\n').value(1).startsWith("RW")); // "Ed"
        }
        setServiceUrl(server.url("/api").toString());
        answerWith(200, updateAnswer(path, name, data));
        startStandInClient();
        QCOMPARE(runUpdater({"-m " + clientName}), 0);
        QVERIFY(client.waitForFinished(5000));
        QCOMPARE(client.exitStatus(), QProcess::CrashExit);
        QVERIFY(QTest::qWaitFor([&] { return installerRan(); }, 10000));
        QCOMPARE(installerRecord(), (QStringList{folder.path(), "/SILENT"}));
        // The updater runs without OpenGL; the installer and the client it starts do not.
        QCOMPARE(contentOf(recordFile() + ".gl"), QByteArray("unset\n"));
        QCOMPARE(contentOf(tempFile(name)), installer);
        QVERIFY(QFileInfo(tempFile(name)).permissions() & QFile::ExeOwner);
        QCOMPARE(leftovers(), QStringList());
        QVERIFY(!output.contains("updates are not signed"));
        QVERIFY(!QFile::exists(restartRecord()));
    }

    void refusals_startNothing_leaveClientRunning_data()
    {
        QTest::addColumn<QString>("installed"); // Sys/Version
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QJsonObject>("data");
        QTest::addColumn<QString>("reason");
        const QString name = "Setup.sh";
        const QJsonObject good = sign(installer, name, "1.0.0.11");
        QJsonObject none;
        QJsonObject tamperedComment = good;
        tamperedComment["signature"] = good["signature"].toString().replace("1.0.0.11", "1.0.0.12");
        // Signed with minisign's own trusted comment, which binds no version.
        const QString plain = scratch.filePath("sign/" + name);
        QProcess::execute("minisign", {"-S", "-s", MERVO_TEST_KEYS "/first.key", "-m", plain, "-x",
                                       plain + ".plain"});
        const QJsonObject unbound{{"signature", QString::fromUtf8(contentOf(plain + ".plain"))}};
        const auto row = [](const char *tag,
                            const QString &installed = InstalledVersion) -> QTestData & {
            return QTest::newRow(tag) << installed;
        };

        row("no signature") << Signed << "/installer.sh" << name << none
                            << "the answer carries no signature";
        row("another key") << Signed << "/installer.sh" << name
                           << sign(installer, name, "1.0.0.11", "other") << "signed by unknown key";
        if (!MERVO_PRODUCT_UNSIGNED) // the program that ships trusts none of the test keys
            row("product keys only")
                << Product << "/installer.sh" << name << good << "signed by unknown key";
        row("tampered file") << Signed << "/tampered.sh" << name << good
                             << "the signature does not match the downloaded file";
        row("tampered comment") << Signed << "/installer.sh" << name << tamperedComment
                                << "the trusted comment does not match its signature";
        row("no version bound") << Signed << "/installer.sh" << name << unbound
                                << "the trusted comment names no file and version";
        row("other file name") << Signed << "/installer.sh" << name
                               << sign(installer, "Other.sh", "1.0.0.11")
                               << "signed for file Other.sh, not Setup.sh";
        row("same version") << Signed << "/installer.sh" << name
                            << sign(installer, name, InstalledVersion)
                            << "version 1.0.0.10 is not newer than the installed 1.0.0.10";
        row("older version") << Signed << "/installer.sh" << name
                             << sign(installer, name, "1.0.0.9") << "version 1.0.0.9 is not newer";
        // Our signing tool takes dotted numbers only; minisign itself signs any comment.
        QProcess::execute("minisign", {"-S", "-s", MERVO_TEST_KEYS "/first.key", "-m", plain, "-x",
                                       plain + ".beta", "-t", "file:" + name + " version:1.1-beta"});
        const QJsonObject beta{{"signature", QString::fromUtf8(contentOf(plain + ".beta"))}};
        row("signed version no number") << Signed << "/installer.sh" << name << beta
                                        << "signed version 1.1-beta is no dotted number";
        row("installed version no number", "1.0-beta")
            << Signed << "/installer.sh" << name << good
            << "installed version 1.0-beta is no dotted number";
        row("no installed version: the updater's own counts", QString())
            << Signed << "/installer.sh" << name << sign(installer, name, UpdaterVersion)
            << QString("version %1 is not newer than the installed %1").arg(UpdaterVersion);
        row("file URL") << Signed << "file://" + scratch.filePath("sign/" + name) << name << good
                        << "download address is no http or https address";
        row("ftp URL") << Signed << "ftp://127.0.0.1/Setup.sh" << name << good
                       << "download address is no http or https address";
        row("404") << Signed << "/missing" << name << good << "download failed: Error transferring";
        row("cut off") << Signed << "/cut" << name << good << "download failed: Connection closed";
        row("no such host") << Signed << "http://127.0.0.1:1/x" << name << good
                            << "download failed";
        row("traversal") << Signed << "/installer.sh"
                         << "../../evil.sh" << good
                         << "installer name \"../../evil.sh\" has a folder separator";
        row("empty name") << Signed << "/installer.sh"
                          << "" << good << "installer name \"\" has no file name";
        row("device name") << Signed << "/installer.sh"
                           << "NUL.sh" << sign(installer, "NUL.sh", "1.0.0.11")
                           << "installer name \"NUL.sh\" has a device name";
        row("unsigned: checksum no SHA-256") << Unsigned << "/installer.sh" << name
                                             << QJsonObject{{"sha256", "abc"}}
                                             << "checksum is no SHA-256: abc";
        row("unsigned: sha mismatch") << Unsigned << "/installer.sh" << name
                                      << QJsonObject{{"sha256", QString(64, 'a')}} << "SHA-256";
        row("unsigned: unknown length")
            << Unsigned << "/chunked.sh" << name << none
            << "download of unknown length with neither signature nor checksum";
    }

    void refusals_startNothing_leaveClientRunning()
    {
        QFETCH(QString, installed);
        QFETCH(QString, program);
        QFETCH(QString, path);
        QFETCH(QString, name);
        QFETCH(QJsonObject, data);
        QFETCH(QString, reason);
        setServiceUrl(server.url("/api").toString(), installed);
        answerWith(200, updateAnswer(path, name, data));
        startStandInClient();
        QCOMPARE(runUpdater({"-m " + clientName}, nullptr, 60000, program), 0);
        expectRefused(reason, name.isEmpty() || name.contains('/') ? "never-there" : name);
        QVERIFY(!QFile::exists(QDir(QDir::tempPath()).filePath("../../evil.sh")));
    }

    void hostileServer_isCutShort_startsNothing_leavesClientRunning_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QJsonObject>("data");
        QTest::addColumn<QByteArray>("answerMode"); // of the update service; "huge": 2 MiB
        QTest::addColumn<QStringList>("env");
        QTest::addColumn<QString>("reason");
        const QString name = "Hostile.sh";
        const QJsonObject good = sign(installer, name, "1.0.0.11");
        const QString size = QString::number(installer.size());
        const QString sha = QCryptographicHash::hash(installer, QCryptographicHash::Sha256).toHex();
        // A signed size that no disk holds.
        const QString file = scratch.filePath("sign/" + name);
        QProcess::execute("minisign", {"-S", "-s", MERVO_TEST_KEYS "/first.key", "-m", file, "-x",
                                       file + ".vast", "-t",
                                       "file:" + name + " version:1.0.0.11 size:1125899906842624"});
        const QJsonObject vast{{"signature", QString::fromUtf8(contentOf(file + ".vast"))}};
        const QString refused; // expectRefused adds "installer refused: "
        const QString checkFailed = "update check failed: ";

        QTest::newRow("endless body")
            << Signed << "/bad/endless" << good << QByteArray() << QStringList()
            << refused + "more than the signed " + size + " bytes arrived";
        QTest::newRow("5 GiB announced")
            << Signed << "/bad/huge" << good << QByteArray() << QStringList()
            << refused +
                   "the server announces 5368709120 bytes, "
                   "the signature " +
                   size;
        QTest::newRow("unsigned size: 5 GiB announced")
            << Unsigned << "/bad/huge" << QJsonObject{{"sha256", sha}} << QByteArray()
            << QStringList()
            << refused + "the server announces 5368709120 bytes, more than the limit of 1073741824";
        QTest::newRow("drip") << Signed << "/bad/drip" << good << QByteArray()
                              << QStringList{"MERVO_TEST_RATE_WINDOW_MS=2000"}
                              << refused + "slower than 1024 bytes a second over the last 2000 ms";
        QTest::newRow("no room for the signed size")
            << Signed << "/installer.sh" << vast << QByteArray() << QStringList()
            << refused + "1125899906842624 bytes do not fit in";
        // Without the stop at the first failed write the signed size would end it.
        QTest::newRow("write fails")
            << Signed << "/bad/endless" << good << QByteArray() << QStringList{"FSIZE_KIB=1024"}
            << refused + "writing the file failed";
        QTest::newRow("answer over 1 MiB")
            << Signed << "/installer.sh" << good << QByteArray("huge") << QStringList()
            << checkFailed + "the answer is longer than 1048576 bytes";
        QTest::newRow("endless answer")
            << Signed << "/installer.sh" << good << QByteArray("endless") << QStringList()
            << checkFailed + "the answer is longer than 1048576 bytes";
        QTest::newRow("dripping answer")
            << Signed << "/installer.sh" << good << QByteArray("drip") << QStringList()
            << checkFailed + "no complete answer within 5000 ms";
    }

    void hostileServer_isCutShort_startsNothing_leavesClientRunning()
    {
        QFETCH(QString, program);
        QFETCH(QString, path);
        QFETCH(QJsonObject, data);
        QFETCH(QByteArray, answerMode);
        QFETCH(QStringList, env);
        QFETCH(QString, reason);
        QFile::remove(tempFile("Hostile.sh"));
        setServiceUrl(server.url("/api").toString());
        const QByteArray answer = updateAnswer(path, "Hostile.sh", data);
        // A valid answer, made too long by blanks after it.
        answerWith(200, answerMode == "huge" ? answer + QByteArray(2 << 20, ' ') : answer);
        if (answerMode != "huge") {
            QMutexLocker lock(&rec.mutex);
            rec.answerMode = answerMode;
        }
        startStandInClient();
        QCOMPARE(runUpdater({"-m " + clientName}, nullptr, 90000, program, env), 0);
        expectRefused(reason, "Hostile.sh");
        // A full disk is the user's to mend: told in Chinese, not only logged.
        QCOMPARE(output.contains("user told: 磁盘空间不足") || output.contains("user told: 更新文件写入失败"),
                 reason.contains("do not fit") || reason.contains("writing the file failed"));
        if (!answerMode.isEmpty())
            QCOMPARE(rec.installerGets, 0);
        // Nothing blocks the next check.
        const QJsonObject next =
            program == Unsigned ? data : sign(installer, "Hostile.sh", "1.0.0.11");
        answerWith(200, updateAnswer("/installer.sh", "Hostile.sh", next));
        QCOMPARE(runUpdater({}, nullptr, 90000, program), 0);
        QVERIFY(QTest::qWaitFor([&] { return installerRan(); }, 10000));
    }

    void lateDownload_endsNothing_keptInstallerIsInstalledAtNextStartWithoutDownload()
    {
        const QString name = "Late.sh";
        const QJsonObject data = sign(installer, name, "1.0.0.11");
        setServiceUrl(server.url("/api").toString());
        answerWith(200, updateAnswer("/bad/late", name, data));
        startStandInClient();
        QProcess updater;
        startUpdater(updater, {"-m " + clientName}, Signed, {"MERVO_TEST_CLIENT_WAIT_MS=1000"});
        QByteArray log;
        QVERIFY(QTest::qWaitFor(
            [&] {
                log += updater.readAll();
                return log.contains("installer ready after the client went on, asking:");
            },
            60000));
        QCOMPARE(client.state(), QProcess::Running);
        QVERIFY(!installerRan());
        QCOMPARE(contentOf(keptPath(name)), installer);
        QCOMPARE(QFileInfo(keptPath(name)).permissions() & 0x0077, QFile::Permissions());
        QCOMPARE(QFileInfo(QFileInfo(keptPath(name)).path()).permissions() & 0x0077,
                 QFile::Permissions());
        QVERIFY(!QFile::exists(tempFile(name)));
        // No answer: the client ends and takes the updater with it.
        updater.kill();
        updater.waitForFinished();

        // Next start, same offer: checked again and installed, nothing downloaded; the part
        // an updater killed meanwhile left behind goes.
        QFile stale(tempFile(name + ".part-Killed"));
        QVERIFY(stale.open(QIODevice::WriteOnly) && stale.write("#!") == 2 && stale.flush());
        QVERIFY(stale.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                                  QFileDevice::FileModificationTime));
        stale.close();
        answerWith(200, updateAnswer("/bad/late", name, data));
        QCOMPARE(runUpdater({"-m " + clientName}), 0);
        QCOMPARE(leftovers(), QStringList());
        QVERIFY(output.contains("kept installer verified, nothing downloaded"));
        QVERIFY(client.waitForFinished(5000));
        QVERIFY(QTest::qWaitFor([&] { return installerRan(); }, 10000));
        QCOMPARE(rec.installerGets, 0);

        // A kept installer that no longer verifies is deleted and downloaded anew.
        QFile::remove(recordFile());
        QFile tampered(keptPath(name));
        QVERIFY(tampered.open(QIODevice::ReadWrite) && tampered.write("X!") == 2);
        tampered.close();
        QCOMPARE(runUpdater({}), 0);
        QVERIFY2(output.contains("kept installer removed, it no longer verifies"),
                 qPrintable(output));
        QVERIFY(QTest::qWaitFor([&] { return installerRan(); }, 10000));
        QCOMPARE(rec.installerGets, 1);
        QVERIFY(!QFile::exists(keptPath(name)));

        // One the service no longer offers is deleted.
        QVERIFY(QFile::copy(tempFile(name), keptPath(name)));
        answerWith(200, "{\"success\":true,\"data\":{\"needUpdate\":false}}");
        QCOMPARE(runUpdater({}), 0);
        QVERIFY(!QFile::exists(keptPath(name)));

        // Late again, and the user answers "立即安装" (the default button): the client
        // is ended and the installer runs.
        QFile::remove(recordFile());
        answerWith(200, updateAnswer("/bad/late", name, data));
        startStandInClient();
        QProcess asking;
        startUpdater(asking, {"-m " + clientName}, Signed, {"MERVO_TEST_CLIENT_WAIT_MS=1000"});
        QString question;
        QVERIFY(QTest::qWaitFor(
            [&] {
                QProcess search;
                search.start("xdotool", {"search", "--onlyvisible", "--name", "^更新$"});
                search.waitForFinished();
                question = QString::fromUtf8(search.readAllStandardOutput()).section('\n', 0, 0);
                return !question.isEmpty();
            },
            60000));
        QCOMPARE(QProcess::execute("xdotool", {"windowfocus", "--sync", question, "key", "Return"}), 0);
        QVERIFY(asking.waitForFinished(30000));
        QVERIFY(client.waitForFinished(5000));
        QVERIFY(QTest::qWaitFor([&] { return installerRan(); }, 10000));
    }

    void plantedLinkOrOlderFile_isNeverFollowed_andSurvivesARefusal()
    {
        const QString name = "Planted.sh";
        const QString target = tempFile(name);
        const QString victim = scratch.filePath("victim.txt");
        QFile v(victim);
        QVERIFY(v.open(QIODevice::WriteOnly) && v.write("precious") == 8);
        v.close();
        setServiceUrl(server.url("/api").toString());
        const QJsonObject data = sign(installer, name, "1.0.0.11");

        // An older download of that name survives a refused one.
        QFile::remove(target);
        QFile older(target);
        QVERIFY(older.open(QIODevice::WriteOnly) && older.write("older installer") == 15);
        older.close();
        answerWith(200, updateAnswer("/tampered.sh", name, data));
        QCOMPARE(runUpdater({}), 0);
        QVERIFY(output.contains("installer refused: the signature does not match"));
        QCOMPARE(contentOf(target), QByteArray("older installer"));

        // A link at that name: its target is untouched, refused or installed.
        QFile::remove(target);
        QVERIFY(QFile::link(victim, target));
        QCOMPARE(runUpdater({}), 0);
        QVERIFY(output.contains("installer refused:"));
        QVERIFY(QFileInfo(target).isSymLink());
        answerWith(200, updateAnswer("/installer.sh", name, data));
        QCOMPARE(runUpdater({}), 0);
        QVERIFY(QTest::qWaitFor([&] { return installerRan(); }, 10000));
        QVERIFY(!QFileInfo(target).isSymLink());
        QCOMPARE(contentOf(target), installer);
        QCOMPARE(contentOf(victim), QByteArray("precious"));
        QVERIFY(!(QFileInfo(victim).permissions() & QFile::ExeOwner));
    }

    void installerThatCannotStart_clientIsStartedAgain()
    {
        setServiceUrl(server.url("/api").toString());
        answerWith(200,
                   updateAnswer("/broken.sh", "Broken.sh",
                                sign("#!/nonexistent/interpreter\n", "Broken.sh", "1.0.0.11")));
        startStandInClient();
        QCOMPARE(runUpdater({"-m " + clientName}), 0);
        QVERIFY(client.waitForFinished(5000));
        QVERIFY2(output.contains("installer did not start, client started again:"),
                 qPrintable(output));
        QVERIFY(QTest::qWaitFor([&] { return QFile::exists(restartRecord()); }, 10000));
        QCOMPARE(QString::fromUtf8(contentOf(restartRecord())).split('\n', Qt::SkipEmptyParts),
                 (QStringList{folder.path(), "args:"}));
    }

    void unsignedBuild_saysSoOnce_installsWithChecksumAndNoLength()
    {
        setServiceUrl(server.url("/api").toString());
        const QString sha = QCryptographicHash::hash(installer, QCryptographicHash::Sha256).toHex();
        answerWith(200, updateAnswer("/chunked.sh", "Unsigned.sh", {{"sha256", sha.toUpper()}}));
        startStandInClient();
        QCOMPARE(runUpdater({"-m " + clientName}, nullptr, 60000, Unsigned), 0);
        QCOMPARE(output.count("updates are not signed"), 1);
        QVERIFY(client.waitForFinished(5000));
        QVERIFY(QTest::qWaitFor([&] { return installerRan(); }, 10000));
        QCOMPARE(contentOf(tempFile("Unsigned.sh")), installer);
    }

    void update_withoutMainProgram_endsNothing_httpErrorStatusStillChecked()
    {
        setServiceUrl(server.url("/api").toString());
        // The check's own HTTP status does not matter, only its JSON.
        answerWith(500, updateAnswer("/installer.sh", "MervoSetup2.sh",
                                     sign(installer, "MervoSetup2.sh", "1.0.0.11")));
        startStandInClient();
        QCOMPARE(runUpdater({}), 0);
        QVERIFY(QTest::qWaitFor([&] { return installerRan(); }, 10000));
        QCOMPARE(client.state(), QProcess::Running);
    }

    void stalledDownload_isAbandonedAfter30sWithoutData()
    {
        setServiceUrl(server.url("/api").toString());
        answerWith(200,
                   updateAnswer("/stall", "stall.sh", sign(installer, "stall.sh", "1.0.0.11")));
        startStandInClient();
        qint64 elapsed = 0;
        QCOMPARE(runUpdater({"-m " + clientName}, &elapsed, 90000), 0);
        QVERIFY2(elapsed >= 29000 && elapsed < 60000, qPrintable(QString::number(elapsed)));
        expectRefused("download failed", "stall.sh");
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
