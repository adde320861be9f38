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

    int runUpdater(const QStringList &args, qint64 *elapsedMs = nullptr, int timeoutMs = 60000,
                   const QString &program = Signed)
    {
        QProcess updater;
        updater.setWorkingDirectory(folder.path());
        updater.setProcessChannelMode(QProcess::MergedChannels);
        QElapsedTimer clock;
        clock.start();
        updater.start(program, args);
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

    void expectRefused(const QString &reason, const QString &name)
    {
        QVERIFY2(output.contains("installer refused: " + reason), qPrintable(output));
        QTest::qWait(300);
        QVERIFY(!installerRan());
        QVERIFY(!QFile::exists(tempFile(name)));
        QCOMPARE(client.state(), QProcess::Running);
        QCOMPARE(leftovers(), QStringList());
    }

private slots:
    void initTestCase()
    {
        installer = "#!/bin/sh\n{ pwd; for a in \"$@\"; do echo \"$a\"; done; } > \""
            + recordFile().toUtf8() + ".part\" && mv \"" + recordFile().toUtf8() + ".part\" \""
            + recordFile().toUtf8() + "\"\n";
        // Several read buffers long and no whole number of them, so the checks see
        // the download arrive in pieces, up to its last byte.
        installer += "#" + QByteArray(3 * (1 << 20) + 17, 'x') + "\n";
        QVERIFY(QFile::copy("/bin/sleep", scratch.filePath("FakeClient")));
        // What the updater starts again in the program folder when an installer fails.
        QFile restart(folder.filePath("FakeClient"));
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
        s.Get("/tampered.sh", [script](const httplib::Request &, httplib::Response &res) {
            res.set_content(script + "rm -rf \"$HOME\"\n", "application/octet-stream");
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
        QCOMPARE(runUpdater({"-m FakeClient"}), 0);
        QVERIFY(client.waitForFinished(5000));
        QCOMPARE(client.exitStatus(), QProcess::CrashExit);
        QVERIFY(QTest::qWaitFor([&] { return installerRan(); }, 10000));
        QCOMPARE(installerRecord(), (QStringList{folder.path(), "/SILENT"}));
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
        QCOMPARE(runUpdater({"-m FakeClient"}, nullptr, 60000, program), 0);
        expectRefused(reason, name.isEmpty() || name.contains('/') ? "never-there" : name);
        QVERIFY(!QFile::exists(QDir(QDir::tempPath()).filePath("../../evil.sh")));
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
        QCOMPARE(runUpdater({"-m FakeClient"}), 0);
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
        QCOMPARE(runUpdater({"-m FakeClient"}, nullptr, 60000, Unsigned), 0);
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
        QCOMPARE(runUpdater({"-m FakeClient"}, &elapsed, 90000), 0);
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
