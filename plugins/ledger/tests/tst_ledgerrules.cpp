#include "crashthrottle.h"
#include "downloadrules.h"
#include "navigationrules.h"

#include <QtTest>

using namespace NavigationRules;

class TestLedgerRules : public QObject
{
    Q_OBJECT

private slots:
    void baseHostOf_isTheTextBetweenSecondAndThirdSlash()
    {
        QCOMPARE(baseHostOf("http://svc.example.com:8080/app/main"),
                 QStringLiteral("svc.example.com:8080"));
        QCOMPARE(baseHostOf("http://svc.example.com"), QStringLiteral("svc.example.com"));
        QCOMPARE(baseHostOf("qrc:/load.html"), QString());
        QVERIFY(baseHostOf("nohost").isNull());
    }

    void leavesService_onlyTypedOrRedirectMainFrameToForeignNonChatAddress()
    {
        const QString host = "svc:8080";
        const auto redirect = QWebEnginePage::NavigationTypeRedirect;
        QVERIFY(leavesService("http://evil/x", host, redirect, true));
        QVERIFY(leavesService("http://evil/x", host, QWebEnginePage::NavigationTypeTyped, true));
        QVERIFY(
            !leavesService("http://evil/x", host, QWebEnginePage::NavigationTypeLinkClicked, true));
        QVERIFY(!leavesService("http://evil/x", host, redirect, false));
        QVERIFY(!leavesService("http://svc:8080/next", host, redirect, true));
        QVERIFY(!leavesService("http://evil/?q=tencent", host, redirect, true));
        QVERIFY(!leavesService("aliim:x", host, redirect, true));
        QVERIFY(!leavesService("kelda:x", host, redirect, true));
        // Before the service is known every address contains the empty host.
        QVERIFY(!leavesService("http://evil/x", QString(), redirect, true));
    }

    void downloadEntries_ownSettingReplacesDefaultsButKeepsFixedOnes()
    {
        const QStringList defaults = downloadEntries(QString());
        QVERIFY(defaults.contains(".xlsx") && defaults.contains("Download.tylx"));
        const QStringList own = downloadEntries(".pdfx");
        QCOMPARE(own.first(), QStringLiteral(".pdfx"));
        QVERIFY(!own.contains(".xlsx") && !own.contains(".xls") && !own.contains(".msi"));
        QVERIFY(own.contains(".zip") && own.contains("FileExport.tylx") &&
                own.contains("tencent:"));
    }

    void secondaryPass_downloadEntryFirst_thenServiceHost_emptyEntryPassesAll()
    {
        const QStringList entries = downloadEntries(QString());
        PassResult r = secondaryPass("http://other/report.xlsx", "svc", entries);
        QVERIFY(r.passes && r.isDownload);
        r = secondaryPass("http://svc/page", "svc", entries);
        QVERIFY(r.passes && !r.isDownload);
        r = secondaryPass("http://other/page", "svc", entries);
        QVERIFY(!r.passes);
        r = secondaryPass("http://other/page", "svc", downloadEntries(".pdf||"));
        QVERIFY(r.passes && r.isDownload);
        QVERIFY(secondaryPass("aliim:chat?uid=1", "svc", entries).isDownload);
    }

    void progressBarValue_showsOnlyTheMiddleOfALoad()
    {
        QCOMPARE(progressBarValue(15), -1);
        QCOMPARE(progressBarValue(1), -1);
        QCOMPARE(progressBarValue(21), 21);
        QCOMPARE(progressBarValue(50), 50);
        QCOMPARE(progressBarValue(99), 99);
        QCOMPARE(progressBarValue(100), 0);
        QCOMPARE(progressBarValue(0), 0);
    }

    void crashThrottle_stopsAtTheThirdCrashWithinAMinute()
    {
        CrashThrottle throttle(3, 60000);
        QVERIFY(throttle.allowReload(0));
        QVERIFY(throttle.allowReload(1000));
        QVERIFY(!throttle.allowReload(2000));
        QVERIFY(!throttle.allowReload(3000));
        // Once the window has passed, crashes reload again.
        QVERIFY(throttle.allowReload(70000));
        QVERIFY(throttle.allowReload(125000));
    }

    void downloadRules_filterRootPercentAndScripts()
    {
        QCOMPARE(DownloadRules::filterFor("report.xlsx"), QStringLiteral("xlsx files(*.xlsx)"));
        QCOMPARE(DownloadRules::filterFor("README"), QStringLiteral(" files(*.)"));
        QVERIFY(DownloadRules::isDriveRoot("D:/"));
        QVERIFY(DownloadRules::isDriveRoot("D:"));
        QVERIFY(!DownloadRules::isDriveRoot("D:/work"));
        QVERIFY(!DownloadRules::isDriveRoot("/home/user"));
        QVERIFY(!DownloadRules::isDriveRoot("/"));
        QCOMPARE(DownloadRules::percent(50, 200), 25);
        QCOMPARE(DownloadRules::percent(0, 0), 100);
        QCOMPARE(DownloadRules::percent(5000, -1), 0);
        QCOMPARE(DownloadRules::percent(300, 200), 100);
        QCOMPARE(DownloadRules::percent(qint64(3) << 40, qint64(4) << 40), 75);
        QCOMPARE(DownloadRules::completionScript("a'b</script>\"c.xlsx"),
                 QStringLiteral("complate(\"a\\u0027b\\u003c/script\\u003e\\\"c.xlsx\")"));
        QCOMPARE(DownloadRules::progressScript(42),
                 QStringLiteral("changeProcess(42,'下载中...')"));
    }
};

QTEST_GUILESS_MAIN(TestLedgerRules)
#include "tst_ledgerrules.moc"
