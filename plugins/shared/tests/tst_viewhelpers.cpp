// What every module view does alike: the outage back-off, the zoom steps and
// setting, the Chinese context menu, the downloads list's file.
#include "downloadslist.h"
#include "downloadslistdialog.h"
#include "outageretry.h"
#include "viewcontextmenu.h"
#include "webtestmain.h"
#include "zoomcontrol.h"

#include <QMenu>
#include <QSettings>
#include <QTemporaryDir>
#include <QWebEngineView>
#include <QtTest>

class TestViewHelpers : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir folder;

private slots:
    void initTestCase() { QDir::setCurrent(folder.path()); }

    void backOff_doublesFromOneSecond_upToThirty_onlyForUnreachableServices()
    {
        QList<int> waits;
        for (int failures = 1; failures <= 8; ++failures)
            waits << OutageRetry::backOffMs(failures);
        QCOMPARE(waits, (QList<int>{1000, 2000, 4000, 8000, 16000, 30000, 30000, 30000}));
        QCOMPARE(OutageRetry::backOffMs(100000), 30000);
        QVERIFY(OutageRetry::isUnreachable("ERR_CONNECTION_REFUSED"));
        QVERIFY(OutageRetry::isUnreachable("ERR_NAME_NOT_RESOLVED"));
        QVERIFY(OutageRetry::isUnreachable("ERR_PROXY_CONNECTION_FAILED"));
        QVERIFY(!OutageRetry::isUnreachable("ERR_ABORTED"));
        QVERIFY(!OutageRetry::isUnreachable("ERROR_PAGE"));
        QVERIFY(!OutageRetry::isUnreachable(""));
    }

    void zoomSteps_browserLevels_clampedAtBothEnds_badSettingMeansHundredPercent()
    {
        QCOMPARE(ZoomControl::step(1.0, 1), 1.1);
        QCOMPARE(ZoomControl::step(1.1, -1), 1.0);
        QCOMPARE(ZoomControl::step(1.0, -1), 0.9);
        QCOMPARE(ZoomControl::step(1.2, 1), 1.25); // between two levels
        QCOMPARE(ZoomControl::step(5.0, 1), 5.0);
        QCOMPARE(ZoomControl::step(0.25, -1), 0.25);
        QCOMPARE(ZoomControl::step(3.0, 0), 1.0);

        QSettings settings("config.ini", QSettings::IniFormat);
        for (const char *bad : {"huge", "0", "9", "nan"}) {
            settings.setValue("Sys/Zoom", bad);
            settings.sync();
            QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^zoom setting ignored:"));
            QCOMPARE(ZoomControl::storedFactor(), 1.0);
        }
        settings.setValue("Sys/Zoom", "1.5");
        settings.sync();
        QCOMPARE(ZoomControl::storedFactor(), 1.5);
        settings.remove("Sys/Zoom");
    }

    void rightClick_chineseMenuOfWhatApplies_noViewSource()
    {
        QWebEngineView view;
        ViewContextMenu::install(&view);
        view.resize(400, 300);
        view.show();
        view.setHtml("<body style='margin:0'><input id=i value='text' "
                     "style='width:300px;height:100px'></body>");
        QVERIFY(QTest::qWaitFor([&] { return view.focusProxy() && view.title().size(); }, 10000));
        QMenu *menu = nullptr;
        QVERIFY(QTest::qWaitFor(
            [&] {
                QTest::mouseClick(view.focusProxy(), Qt::RightButton, {}, QPoint(50, 50));
                QTest::qWait(200);
                menu = view.findChild<QMenu *>();
                return menu && menu->isVisible();
            },
            10000));
        QStringList texts;
        for (QAction *action : menu->actions())
            if (!action->isSeparator())
                texts << action->text();
        QCOMPARE(texts, (QStringList{"粘贴", "全选", "重新加载"}));
        menu->close();
    }

    void downloadsListFile_parse_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("isList");
        QTest::addColumn<QStringList>("states");
        const QByteArray one = R"({"id":"a","path":"/d/a.xlsx","state":"completed"})";
        QTest::newRow("not JSON") << QByteArray("{\"downloads\": [") << false << QStringList();
        QTest::newRow("no list") << QByteArray("{\"downloads\": 5}") << false << QStringList();
        QTest::newRow("empty") << QByteArray("{\"downloads\": []}") << true << QStringList();
        // A transfer cannot outlive the run that started it.
        QTest::newRow("running from an earlier run")
            << QByteArray(R"({"downloads":[{"id":"r","path":"/d/r.bin","state":"running"}]})")
            << true << QStringList{"失败：客户端退出时未完成"};
        QTest::newRow("bad entries skipped, good ones kept")
            << QByteArray(R"({"downloads":[{"id":"x","path":"rel/x","state":"completed"},)"
                          R"({"id":"y","path":"/d/y","state":"paused"},{"path":"/d/z"},5,)"
                          R"({"id":"c","path":"/d/c","state":"cancelled"},)"
                          R"({"id":"f","path":"/d/f","state":"failed","reason":"Network"}]})")
            << true << QStringList{"已取消", "失败：Network"};
        QByteArray many = "{\"downloads\":[" + one;
        for (int i = 1; i < 250; ++i)
            many += "," + one;
        QStringList moved;
        for (int i = 0; i < DownloadsList::maxEntries; ++i)
            moved << QStringLiteral("文件已移动或删除");
        QTest::newRow("over 200 entries") << many + "]}" << true << moved;
    }

    void downloadsListFile_parse()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, isList);
        QFETCH(QStringList, states);
        QVector<DownloadEntry> entries;
        QCOMPARE(DownloadsList::parse(text, &entries), isList);
        QStringList shown;
        for (const DownloadEntry &entry : entries)
            shown << DownloadsListDialog::stateText(entry);
        QCOMPARE(shown, states);
    }

    void downloadsListFile_damagedKeptAside_changesWrittenOwnerOnly_fileMustBeTheWrittenOne()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("data/downloads.json");
        QVERIFY(QDir().mkpath(dir.filePath("data")));
        QFile damaged(path);
        QVERIFY(damaged.open(QIODevice::WriteOnly));
        damaged.write("{\"downloads\": [{\"id\"");
        damaged.close();
        QVERIFY(DownloadsList(path).entries().isEmpty());
        const QStringList aside =
            QDir(dir.filePath("data")).entryList({"downloads.json.damaged-*"});
        QCOMPARE(aside.size(), 1);
        QFile kept(dir.filePath("data/" + aside.first()));
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("{\"downloads\": [{\"id\""));
        QVERIFY(!QFile::exists(path));

        // Two completed downloads as a run leaves them; the file of the first is still
        // there as written.
        QFile report(dir.filePath("report.xlsx"));
        QVERIFY(report.open(QIODevice::WriteOnly));
        report.write("region,quarter");
        report.close();
        DownloadEntry written;
        written.id = "w";
        written.path = report.fileName();
        written.state = DownloadEntry::Completed;
        written.fileSize = 14;
        written.fileModified = QFileInfo(report).lastModified();
        DownloadEntry gone = written;
        gone.id = "g";
        gone.path = dir.filePath("gone.xlsx");
        QFile list(path);
        QVERIFY(list.open(QIODevice::WriteOnly));
        list.write(DownloadsList::serialize({written, gone}));
        list.close();

        DownloadsList loaded(path);
        QCOMPARE(loaded.entries().size(), 2);
        QVERIFY(DownloadsList::fileUnchanged(loaded.entries().at(0)));
        QVERIFY(!DownloadsList::fileUnchanged(loaded.entries().at(1)));
        loaded.remove("g");
        // Group and others get nothing.
        QCOMPARE(QFile(path).permissions() & 0x0FFF,
                 QFileDevice::ReadUser | QFileDevice::WriteUser);
        QCOMPARE(DownloadsList(path).entries().size(), 1);

        // Rewritten in place (same path) is no longer the downloaded file.
        QVERIFY(report.open(QIODevice::Append));
        report.write(",revenue");
        report.close();
        QVERIFY(!DownloadsList::fileUnchanged(DownloadsList(path).entries().at(0)));
        DownloadsList(path).clearFinished();
        QVERIFY(DownloadsList(path).entries().isEmpty());
    }
};

MERVO_WEB_TEST_MAIN(TestViewHelpers)
#include "tst_viewhelpers.moc"
