// What every module view does alike: the outage back-off, the zoom steps and
// setting, the Chinese context menu, find in page, full screen, the history keys and the
// downloads list's file.
#include "desktopstandin.h"
#include "downloadslist.h"
#include "downloadslistdialog.h"
#include "findbar.h"
#include "fullscreencontroller.h"
#include "historykeys.h"
#include "logwatch.h"
#include "outageretry.h"
#include "servicepage.h"
#include "testhttpserver.h"
#include "viewcontextmenu.h"
#include "viewfeatures.h"
#include "webtesthelpers.h"
#include "webtestmain.h"
#include "zoomcontrol.h"

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSettings>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QWebEngineHistory>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <QtTest>

// A window as the modules build them: something beside a view with every feature.
struct FeatureWindow
{
    explicit FeatureWindow(const QUrl &service)
    {
        auto *layout = new QVBoxLayout(&window);
        layout->setContentsMargins(5, 5, 5, 5);
        layout->addWidget(beside);
        layout->addWidget(view);
        ViewFeatures::attach(view);
        auto *page = new ServicePage(TrustPolicy::forWorkspace(service), view);
        page->settings()->setAttribute(QWebEngineSettings::FullScreenSupportEnabled, true);
        view->setPage(page);
        window.resize(800, 600);
    }
    bool show()
    {
        window.show();
        window.activateWindow();
        if (QTest::qWaitForWindowActive(&window, 2000))
            return true;
        // Qt 6 on a display with no window manager may never hear that the window got the
        // focus it asked for.
        if (!QTest::qWaitForWindowExposed(&window))
            return false;
        QApplication::setActiveWindow(&window);
        return window.isActiveWindow();
    }
    // Keys go where a person's would: to the widget the page is drawn in.
    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::keyClick(view->focusProxy(), key, modifiers);
    }
    QVariant eval(const QString &script) { return WebTest::eval(view->page(), script); }

    QWidget window;
    QLabel *beside = new QLabel(QStringLiteral("beside"));
    QWebEngineView *view = new QWebEngineView;
};

class TestViewHelpers : public QObject
{
    Q_OBJECT

private:
    DesktopStandIn standIn; // first: nothing a test hands off reaches a real browser
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

    void historyTarget_onlyServicePages_overWaitingOutageAndForeignEntries()
    {
        const auto service = [](const QUrl &url) { return url.host() == "svc"; };
        const QList<HistoryKeys::Entry> entries{
            {QUrl("qrc:/load.html"), "资源加载中"},
            {QUrl("http://svc/a"), "A"},
            {QUrl("http://svc/b"), "无法连接到服务器"}, // an outage page keeps the address
            {QUrl("http://svc/c"), "C"},
            {QUrl("http://elsewhere/d"), "D"},
            {QUrl("https://svc/e"), "E"}};
        QCOMPARE(HistoryKeys::target(entries, 5, -1, service), 3);
        QCOMPARE(HistoryKeys::target(entries, 3, -1, service), 1);
        QCOMPARE(HistoryKeys::target(entries, 1, -1, service), -1);
        QCOMPARE(HistoryKeys::target(entries, 1, 1, service), 3);
        QCOMPARE(HistoryKeys::target(entries, 3, 1, service), 5);
        QCOMPARE(HistoryKeys::target(entries, 5, 1, service), -1);
        QCOMPARE(HistoryKeys::target(entries, 6, -1, service), -1);
        QCOMPARE(HistoryKeys::target({}, 0, -1, service), -1);
    }

    void findBar_countsAsYouType_stepsBothWays_escCloses_ctrlFSelectsText()
    {
        TestHttpServer server;
        server.servePage("/a.html", "<title>a</title><p>apple pear apple plum apple</p>");
        QVERIFY(server.start());
        FeatureWindow w(server.url("/a.html"));
        QVERIFY(w.show());
        w.view->load(server.url("/a.html"));
        QVERIFY(WebTest::waitLoaded(w.view, server.url("/a.html")));
        QVERIFY(!w.view->findChild<FindBar *>());

        w.key(Qt::Key_F, Qt::ControlModifier);
        auto *bar = w.view->findChild<FindBar *>();
        QVERIFY(bar);
        auto *field = bar->findChild<QLineEdit *>();
        QVERIFY(bar->isVisible());
        QCOMPARE(field->placeholderText(), QString("查找"));
        QVERIFY(field->hasFocus());
        QCOMPARE(bar->geometry().bottom(), w.view->rect().bottom());
        QTest::keyClicks(field, "apple");
        QTRY_COMPARE_WITH_TIMEOUT(bar->countText(), QString("第 1 项，共 3 项"), 10000);
        w.key(Qt::Key_F3);
        QTRY_COMPARE_WITH_TIMEOUT(bar->countText(), QString("第 2 项，共 3 项"), 10000);
        QTest::keyClick(field, Qt::Key_Return, Qt::ShiftModifier);
        QTRY_COMPARE_WITH_TIMEOUT(bar->countText(), QString("第 1 项，共 3 项"), 10000);
        QTest::keyClick(field, Qt::Key_Return);
        QTRY_COMPARE_WITH_TIMEOUT(bar->countText(), QString("第 2 项，共 3 项"), 10000);
        QTest::keyClicks(field, "x");
        QTRY_COMPARE_WITH_TIMEOUT(bar->countText(), QString("无匹配"), 10000);

        QTest::keyClick(field, Qt::Key_Escape);
        QVERIFY(!bar->isVisible());
        QVERIFY(bar->countText().isEmpty());
        w.key(Qt::Key_F, Qt::ControlModifier);
        QVERIFY(bar->isVisible());
        QCOMPARE(field->selectedText(), QString("applex"));
    }

    void fullScreen_pageRequestFillsWindow_escAndF11RestoreEarlierState()
    {
        TestHttpServer server;
        server.servePage("/f.html",
                         "<title>f</title><body style='margin:0'><button id=b "
                         "style='width:300px;height:200px' "
                         "onclick='document.documentElement.requestFullscreen()'>go</button>");
        QVERIFY(server.start());
        FeatureWindow w(server.url("/f.html"));
        QVERIFY(w.show());
        w.view->load(server.url("/f.html"));
        QVERIFY(WebTest::waitLoaded(w.view, server.url("/f.html")));
        const auto inFullScreen = [&] {
            return w.eval("document.fullscreenElement !== null").toBool();
        };

        // The page asks (a click is what lets it): only the view fills the screen, also
        // of a window of fixed size (as secondary windows are).
        w.window.setFixedSize(800, 600);
        QTest::mouseClick(w.view->focusProxy(), Qt::LeftButton, {}, QPoint(50, 50));
        QTRY_VERIFY_WITH_TIMEOUT(inFullScreen(), 10000);
        QVERIFY(w.window.isFullScreen());
        QVERIFY(w.beside->isHidden());
        QCOMPARE(w.window.layout()->contentsMargins(), QMargins());
        w.key(Qt::Key_Escape);
        QTRY_VERIFY_WITH_TIMEOUT(!inFullScreen(), 10000);
        QVERIFY(!w.window.isFullScreen());
        QVERIFY(!w.window.isMaximized());
        QVERIFY(w.beside->isVisible());
        QCOMPARE(w.window.layout()->contentsMargins(), QMargins(5, 5, 5, 5));
        QCOMPARE(w.window.maximumSize(), QSize(800, 600));
        w.window.setMinimumSize(0, 0);
        w.window.setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);

        // The page leaving by itself; F11 out of a page's full screen; F11 in and out.
        w.window.showMaximized();
        QTest::mouseClick(w.view->focusProxy(), Qt::LeftButton, {}, QPoint(50, 50));
        QTRY_VERIFY_WITH_TIMEOUT(inFullScreen(), 10000);
        w.eval("document.exitFullscreen()");
        QTRY_VERIFY_WITH_TIMEOUT(!w.window.isFullScreen(), 10000);
        QVERIFY(w.window.isMaximized());
        QTest::mouseClick(w.view->focusProxy(), Qt::LeftButton, {}, QPoint(50, 50));
        QTRY_VERIFY_WITH_TIMEOUT(inFullScreen(), 10000);
        w.key(Qt::Key_F11);
        QTRY_VERIFY_WITH_TIMEOUT(!inFullScreen(), 10000);
        QVERIFY(w.window.isMaximized());
        w.key(Qt::Key_F11);
        QVERIFY(w.window.isFullScreen());
        QVERIFY(w.beside->isHidden());
        // Within F11's full screen the page's own comes and goes; F11's stays.
        QTest::mouseClick(w.view->focusProxy(), Qt::LeftButton, {}, QPoint(50, 50));
        QTRY_VERIFY_WITH_TIMEOUT(inFullScreen(), 10000);
        w.key(Qt::Key_Escape);
        QTRY_VERIFY_WITH_TIMEOUT(!inFullScreen(), 10000);
        QVERIFY(w.window.isFullScreen());
        w.key(Qt::Key_F11);
        QVERIFY(w.window.isMaximized());
        QVERIFY(w.beside->isVisible());
    }

    void historyKeys_altArrowsAndMouseButtons_stayOnServicePages()
    {
        TestHttpServer server;
        for (const char *name : {"/a.html", "/b.html"})
            server.servePage(name, QByteArray("<title>") + name + "</title><p>page");
        QVERIFY(server.start());
        const QUrl a = server.url("/a.html"), b = server.url("/b.html");
        QUrl foreign = server.url("/a.html");
        foreign.setHost("localhost"); // another origin, same server
        FeatureWindow w(a);
        QVERIFY(w.show());
        w.view->setHtml("<title>wait</title>waiting");
        QTRY_COMPARE_WITH_TIMEOUT(w.view->title(), QString("wait"), 10000);
        for (const QUrl &url : {a, b}) {
            WebTest::followLink(w.view->page(), url.toString());
            QVERIFY(WebTest::waitLoaded(w.view, url));
        }
        // Another site never becomes a step: it goes to the browser, the view stays.
        const LogWatch handedOff("^foreign site to the browser: http://localhost:");
        WebTest::followLink(w.view->page(), foreign.toString());
        QTRY_COMPARE_WITH_TIMEOUT(standIn.opened(), QStringList{foreign.toString()}, 10000);
        QCOMPARE(handedOff.count(), 1);
        w.view->setHtml("<title>end</title>no service page");
        QTRY_COMPARE_WITH_TIMEOUT(w.view->title(), QString("end"), 10000);
        QCOMPARE(w.view->history()->count(), 4);

        w.key(Qt::Key_Left, Qt::AltModifier); // over the page of no service
        QVERIFY(WebTest::waitLoaded(w.view, b));
        QTest::mouseClick(w.view->focusProxy(), Qt::BackButton);
        QVERIFY(WebTest::waitLoaded(w.view, a));
        QTest::ignoreMessage(QtDebugMsg, "history: no service page back");
        w.key(Qt::Key_Left, Qt::AltModifier); // the waiting page is no step
        QCOMPARE(w.view->history()->currentItemIndex(), 1);
        QTest::mouseClick(w.view->focusProxy(), Qt::ForwardButton);
        QVERIFY(WebTest::waitLoaded(w.view, b));
        QTest::ignoreMessage(QtDebugMsg, "history: no service page forward");
        w.key(Qt::Key_Right, Qt::AltModifier);
        QCOMPARE(w.view->history()->currentItemIndex(), 2);
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
