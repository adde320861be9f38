#include "installerdownloader.h"
#include "updatecheck.h"

#include <QCommandLineParser>
#include <QJsonDocument>
#include <QSysInfo>
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

    void installerName_mustBeAPlainFileName()
    {
        QVERIFY(InstallerDownloader::isPlainFileName("MervoSetup-1.2.exe"));
        QVERIFY(InstallerDownloader::isPlainFileName("setup .exe"));
        for (const char *bad : {"", ".", "..", "../../somewhere", "a/b.exe", "..\\x.exe", "C:x.exe", "/tmp/x"})
            QVERIFY2(!InstallerDownloader::isPlainFileName(bad), bad);
    }
};

QTEST_GUILESS_MAIN(TestUpdateCheck)
#include "tst_updatecheck.moc"
