#include "installerdownloader.h"
#include "progressdialog.h"
#include "ratewatch.h"
#include "signaturecheck.h"
#include "updatecheck.h"

#include <QCommandLineParser>
#include <QJsonDocument>
#include <QSettings>
#include <QStorageInfo>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QtTest>

using namespace UpdateCheck;

class TestUpdateCheck : public QObject
{
    Q_OBJECT

private:
    static Request requestFor(const QStringList &args, const Installation &inst = {})
    {
        QCommandLineParser parser;
        addOptions(parser);
        if (!parser.parse(QStringList{"MervoUpgrade"} + args))
            qWarning() << parser.errorText();
        return buildRequest(parser, inst);
    }

private slots:
    void options_shortAndLongNames_valueNamesAndDeclaredDefaults()
    {
        QCommandLineParser parser;
        addOptions(parser);
        QVERIFY(parser.parse({"MervoUpgrade", "--localVersion", "9", "-u=http://x"}));
        QCOMPARE(parser.value("n"), QStringLiteral("9"));
        QCOMPARE(parser.value("ServiceUrl"), QStringLiteral("http://x"));
        // Declared defaults exist but never reach the request.
        QCOMPARE(parser.value("installerType"), QStringLiteral("2"));
        QCOMPARE(parser.value("source"), QStringLiteral("all"));
        QVERIFY(!parser.isSet("source"));
    }

    void body_withoutOptions_takesInstallationValuesAndTypes()
    {
        const Request r = requestFor({}, Installation{"1.0.3", "http://svc/api", "web", "UUID-1"});
        const QJsonObject b = r.body;
        QCOMPARE(b.value("installerType"), QJsonValue(2));
        QCOMPARE(b.value("triggerType"), QJsonValue(0));
        QCOMPARE(b.value("source"), QJsonValue("web"));
        QCOMPARE(b.value("localVersion"), QJsonValue("1.0.3"));
        QCOMPARE(b.value("sysType"), QJsonValue(QSysInfo::productType()));
        QCOMPARE(b.value("sysVersion"), QJsonValue(QSysInfo::productVersion()));
        QCOMPARE(b.value("sysArch"), QJsonValue(QSysInfo::currentCpuArchitecture()));
        QCOMPARE(b.value("clientId"), QJsonValue("UUID-1"));
        QVERIFY(!b.contains("companyName") && !b.contains("productId"));
        QCOMPARE(b.size(), 8);
        QCOMPARE(r.url, QStringLiteral("http://svc/api?method=GetInstaller"));
        QCOMPARE(r.mainProgram, QString());
        QCOMPARE(requestFor({}).url, QStringLiteral("?method=GetInstaller"));
    }

    void body_givenOptionsReplaceMembers_asTheParserReturnsThem()
    {
        const Request r = requestFor({"-i", "3", "-t", "1", "-c Acme", "-p 42", "-m MervoClient",
                                      "-s", "  y  ", "-n", " 2.0", "-u", " http://u/x?a=1 "},
                                     Installation{"1.0", "http://svc", "x", "id"});
        const QJsonObject b = r.body;
        QCOMPARE(b.value("installerType"), QJsonValue("3"));
        QCOMPARE(b.value("triggerType"), QJsonValue("1"));
        QCOMPARE(b.value("companyName"), QJsonValue(" Acme"));
        QCOMPARE(b.value("productId"), QJsonValue(" 42"));
        QCOMPARE(b.value("source"), QJsonValue("y"));
        QCOMPARE(b.value("localVersion"), QJsonValue(" 2.0"));
        QCOMPARE(r.mainProgram, QStringLiteral("MervoClient"));
        QCOMPARE(r.url, QStringLiteral("http://u/x?a=1?method=GetInstaller"));
    }

    void answer_onlyJsonTrueCounts_otherTypesReadEmpty_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("update");
        QTest::addColumn<QString>("url");
        QTest::newRow("update") << QByteArray("{\"success\":true,\"data\":{\"needUpdate\":true,\"url\":\"U\",\"installerName\":\"N\"}}") << true << "U";
        QTest::newRow("success string") << QByteArray("{\"success\":\"true\",\"data\":{\"needUpdate\":true}}") << false << "";
        QTest::newRow("needUpdate string") << QByteArray("{\"success\":true,\"data\":{\"needUpdate\":\"true\"}}") << false << "";
        QTest::newRow("needUpdate number") << QByteArray("{\"success\":true,\"data\":{\"needUpdate\":1}}") << false << "";
        QTest::newRow("no data") << QByteArray("{\"success\":true}") << false << "";
        QTest::newRow("url not a string") << QByteArray("{\"success\":true,\"data\":{\"needUpdate\":true,\"url\":5}}") << true << "";
        QTest::newRow("broken") << QByteArray("{\"success\":tr") << false << "";
        QTest::newRow("array") << QByteArray("[true]") << false << "";
        QTest::newRow("empty") << QByteArray() << false << "";
        QTest::newRow("over 1 MiB")
            << QByteArray("{\"success\":true,\"data\":{\"needUpdate\":true,\"url\":\"U\"}}" +
                          QByteArray(1 << 20, ' '))
            << false << "";
    }

    void answer_onlyJsonTrueCounts_otherTypesReadEmpty()
    {
        QFETCH(QByteArray, body);
        QFETCH(bool, update);
        QFETCH(QString, url);
        const Answer a = parseAnswer(body);
        QCOMPARE(a.needUpdate, update);
        QCOMPARE(a.url, url);
    }

    void installerName_mustBeAWindowsFileName_onEveryPlatform()
    {
        for (const char *good : {"MervoSetup-1.2.exe", "setup .exe", "CONSOLE.exe", "nul-setup.exe",
                                 "com10.exe", "LPT.exe", "安装程序.exe", ".setup"})
            QVERIFY2(InstallerDownloader::fileNameProblem(good).isEmpty(), good);
        for (const char *bad : {"",
                                ".",
                                "..",
                                "../../somewhere",
                                "a/b.exe",
                                "..\\x.exe",
                                "C:x.exe",
                                "/tmp/x",
                                "NUL",
                                "con.txt",
                                "COM1.exe",
                                "lpt9",
                                "Aux .tar.gz",
                                "PRN.",
                                "setup.exe.",
                                "setup.exe ",
                                "a<b",
                                "a>b",
                                "a\"b",
                                "a|b",
                                "a?b",
                                "a*b",
                                "tab\there",
                                "new\nline"})
            QVERIFY2(!InstallerDownloader::fileNameProblem(bad).isEmpty(), bad);
        QVERIFY(!InstallerDownloader::fileNameProblem(QStringLiteral("COM\u00b9.exe")).isEmpty());
    }

    void versions_compareAsDottedNumbers_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<int>("order");
        QTest::addColumn<bool>("ok");
        QTest::newRow("newer") << "1.0.0.7"
                               << "1.0.0.6" << 1 << true;
        QTest::newRow("numeric, not text") << "1.0.0.10"
                                           << "1.0.0.9" << 1 << true;
        QTest::newRow("missing parts are zero") << "1.0"
                                                << "1.0.0.0" << 0 << true;
        QTest::newRow("leading zeros") << "1.007"
                                       << "1.7" << 0 << true;
        QTest::newRow("longer than any integer") << "1.99999999999999999999"
                                                 << "1.100000000000000000000" << -1 << true;
        QTest::newRow("older") << "0.9.9"
                               << "1" << -1 << true;
        QTest::newRow("letters") << "1.0-beta"
                                 << "1.0" << 0 << false;
        QTest::newRow("empty part") << "1..2"
                                    << "1.2" << 0 << false;
    }

    void versions_compareAsDottedNumbers()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(int, order);
        QFETCH(bool, ok);
        bool valid = false;
        const int result = SignatureCheck::compareVersions(a, b, &valid);
        QCOMPARE(valid, ok);
        if (ok) {
            QCOMPARE(result, order);
            QCOMPARE(SignatureCheck::compareVersions(b, a, &valid), -order);
        }
    }

    void trustedComment_bindsFileVersionAndOptionalSize_data()
    {
        QTest::addColumn<QByteArray>("comment");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("version");
        QTest::addColumn<qint64>("size"); // -2: refused
        QTest::newRow("no size") << QByteArray("file:a.exe version:1.2") << "a.exe"
                                 << "1.2" << qint64(-1);
        QTest::newRow("size") << QByteArray("file:My Setup.exe version:1.2 size:123")
                              << "My Setup.exe"
                              << "1.2" << qint64(123);
        QTest::newRow("over 4 GiB") << QByteArray("file:a version:1 size:5368709120") << "a"
                                    << "1" << qint64(5368709120);
        QTest::newRow("empty size") << QByteArray("file:a version:1 size:") << ""
                                    << "" << qint64(-2);
        QTest::newRow("negative size") << QByteArray("file:a version:1 size:-5") << ""
                                       << "" << qint64(-2);
        QTest::newRow("size too long")
            << QByteArray("file:a version:1 size:1234567890123456789") << ""
            << "" << qint64(-2);
        QTest::newRow("no file") << QByteArray("version:1 size:5") << ""
                                 << "" << qint64(-2);
        QTest::newRow("minisign's own") << QByteArray("timestamp:1700000000\tfile:a") << ""
                                        << "" << qint64(-2);
    }

    void trustedComment_bindsFileVersionAndOptionalSize()
    {
        QFETCH(QByteArray, comment);
        QFETCH(QString, file);
        QFETCH(QString, version);
        QFETCH(qint64, size);
        const SignatureCheck::TrustedComment bound = SignatureCheck::parseTrustedComment(comment);
        QCOMPARE(bound.problem.isEmpty(), size != -2);
        if (size == -2)
            return;
        QCOMPARE(bound.file, file);
        QCOMPARE(bound.version, version);
        QCOMPARE(bound.size, size);
    }

    void rateWatch_dripIsTooSlow_slowRealLinkIsNot_data()
    {
        QTest::addColumn<qint64>("burst");     // bytes in the first second
        QTest::addColumn<qint64>("perSecond"); // bytes each second after it
        QTest::addColumn<int>("tooSlowAfter"); // seconds, 0: never within 300 s
        QTest::newRow("a byte every 10 s") << qint64(0) << qint64(0) << 60;
        QTest::newRow("20 KiB/s") << qint64(0) << qint64(20 * 1024) << 0;
        QTest::newRow("just 1 KiB/s") << qint64(0) << qint64(1024) << 0;
        QTest::newRow("fast, then a trickle") << qint64(100 << 20) << qint64(100) << 61;
    }

    void rateWatch_dripIsTooSlow_slowRealLinkIsNot()
    {
        QFETCH(qint64, burst);
        QFETCH(qint64, perSecond);
        QFETCH(int, tooSlowAfter);
        RateWatch watch;
        watch.add(0, 0);
        qint64 bytes = 0;
        for (int second = 1; second <= 300; ++second) {
            bytes += (second == 1 ? burst : 0) + perSecond;
            if (perSecond == 0 && burst == 0 && second % 10 == 0)
                ++bytes; // the drip
            watch.add(second * 1000, bytes);
            if (watch.tooSlow()) {
                QCOMPARE(second, tooSlowAfter);
                return;
            }
        }
        QCOMPARE(0, tooSlowAfter);
    }

    void roomOnDisk_sizePlusReserveMustFit()
    {
        const QString temp = QDir::tempPath();
        QCOMPARE(InstallerDownloader::roomProblem(temp, 1), QString());
        QVERIFY(InstallerDownloader::roomProblem(temp, qint64(1) << 50)
                    .startsWith("1125899906842624 bytes do not fit in " + temp));
        const qint64 free = QStorageInfo(temp).bytesAvailable();
        QVERIFY(!InstallerDownloader::roomProblem(temp, free - InstallerDownloader::DiskReserve / 2)
                     .isEmpty());
    }

    void signatureText_malformedOrNoInstalledVersion_isRefusedWithReason()
    {
        SignatureCheck check({});
        const QString line = QString::fromLatin1(QByteArray("ED" + QByteArray(72, 'x')).toBase64());
        const QString global = QString::fromLatin1(QByteArray(64, 'g').toBase64());
        const QString good =
            "untrusted comment: x\n" + line + "\ntrusted comment: file:a version:1\n" + global;
        QCOMPARE(check.checkAnswer(QString(), "a", "1"),
                 QStringLiteral("the answer carries no signature"));
        QCOMPARE(check.checkAnswer(good, "a", ""),
                 QStringLiteral("no installed version to compare with"));
        for (const QString &bad :
             {QString("garbage"), QString(good).replace("trusted comment:", "comment:"),
              QString(good).replace(global, "!!" + global), QString(good).remove(0, 1)})
            QCOMPARE(check.checkAnswer(bad, "a", "1"),
                     QStringLiteral("the signature is no minisign signature"));
        QCOMPARE(check.checkAnswer(
                     QString(good).replace(line, QByteArray("Xy" + QByteArray(72, 'x')).toBase64()),
                     "a", "1"),
                 QStringLiteral("unknown signature algorithm 5879"));
        // Well formed, CRLF line ends, but by a key this check does not hold.
        QVERIFY(check.checkAnswer(QString(good).replace("\n", "\r\n"), "a", "1")
                    .startsWith("signed by unknown key"));
    }

    void answerRefusals_httpsDownToHttp_orNoKeyToCheckWith()
    {
        {
            InstallerDownloader keyless(QString(), {}, false);
            UpdateCheck::Answer answer;
            answer.installerName = QStringLiteral("MervoSetup.exe");
            answer.url = QStringLiteral("https://127.0.0.1:1/MervoSetup.exe");
            answer.signature = QStringLiteral("untrusted comment: x");
            QTest::ignoreMessage(QtDebugMsg, "installer refused: this updater holds no key to "
                                             "check signatures with");
            QVERIFY(!keyless.startDownload(answer, QStringLiteral("1.0"), QString()));
        }
        InstallerDownloader downloader(QString(), {}, true);
        UpdateCheck::Answer answer;
        answer.needUpdate = true;
        answer.installerName = QStringLiteral("MervoSetup.exe");
        answer.url = QStringLiteral("http://127.0.0.1:1/MervoSetup.exe");
        QTest::ignoreMessage(QtDebugMsg,
                             "installer refused: the check was https, the download is not: "
                             "http://127.0.0.1:1/MervoSetup.exe");
        QVERIFY(!downloader.startDownload(answer, QString(),
                                          "https://updates.example/api?method=GetInstaller"));
        answer.url = QStringLiteral("HTTP://127.0.0.1:1/MervoSetup.exe");
        QTest::ignoreMessage(QtDebugMsg,
                             QRegularExpression("^installer refused: the check was https"));
        QVERIFY(!downloader.startDownload(answer, QString(), "HTTPS://updates.example/api"));
    }

    void settingText_commasReadTheSameBeforeAndAfterQtRewritesTheFile()
    {
        QTemporaryDir dir;
        const QString ini = dir.filePath("config.ini");
        QFile file(ini);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[Other]\nServiceUrl=wrong\n[Sys]\nServiceUrl = http://svc/api?a=1,b=2\n"
                   "Source=\"x, y\"\nLoginUrl=http://svc/api, v2\nVersion=1.0.0.6\n");
        file.close();
        const QStringList keys{"Sys/ServiceUrl", "Sys/Source", "Sys/LoginUrl", "Sys/Version"};
        const QStringList expected{"http://svc/api?a=1,b=2", "x, y", "http://svc/api,v2",
                                   "1.0.0.6"};
        for (int round = 0; round < 2; ++round) {
            for (int i = 0; i < keys.size(); ++i)
                QCOMPARE(settingText(ini, keys[i]), expected[i]);
            QCOMPARE(settingText(ini, "Sys/Missing"), QString());
            // As the client does when it stores the zoom: the whole file is written anew.
            QSettings(ini, QSettings::IniFormat).setValue("Sys/Zoom", "1.25");
        }
    }

    void progressDialog_unknownTotalOver2GiBAndPermilleSteps()
    {
        ProgressDialog dialog;
        dialog.networkReplyProgress(100, -1);
        QCOMPARE(dialog.maximum(), 0); // busy indicator
        const qint64 total = qint64(5) << 30;
        dialog.networkReplyProgress(total / 4, total);
        QCOMPARE(dialog.maximum(), 1000);
        QCOMPARE(dialog.value(), 250);
        dialog.networkReplyProgress(total / 4 + total / 2000 - 1, total);
        QCOMPARE(dialog.value(), 250);
        dialog.networkReplyProgress(total * 251 / 1000 + 1, total);
        QCOMPARE(dialog.value(), 251);
        // A slow download is seen to move: what remains and the speed.
        QCOMPARE(ProgressDialog::rateText(1 << 20, 3 << 20, 2048),
                 "剩余 " + QLocale().formattedDataSize(2 << 20) + "，" +
                     QLocale().formattedDataSize(2048) + "/秒");
        QVERIFY(ProgressDialog::rateText(1 << 20, -1, 0).startsWith("已下载 "));
    }
};

QTEST_MAIN(TestUpdateCheck)
#include "tst_updatecheck.moc"
