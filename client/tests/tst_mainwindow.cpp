#include "autostart.h"
#include "clientenvironment.h"
#include "mainwindow.h"
#include "notificationpresenter.h"
#include "plugininterface.h"
#include "pluginmanager.h"
#include "testhttpserver.h"
#include "webprofile.h"
#include "webtesthelpers.h"
#include "webtestmain.h"
#include "xwindows.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QMenu>
#include <QMessageBox>
#include <QPluginLoader>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

#include <functional>
#include <memory>

class TestMainWindow : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir folder;
    QString previousDir;
    TestHttpServer server;
    QProcess tray;

    QSettings config() const
    {
        return QSettings(folder.filePath("config.ini"), QSettings::IniFormat);
    }
    void resetConfig() { QFile::remove(folder.filePath("config.ini")); }

    // The root objects of the plug-ins the window loaded from the program folder.
    QObject *pluginObject(const QString &fileName) const
    {
        QPluginLoader loader(folder.filePath(fileName));
        return loader.instance();
    }
    QObject *loginFixture() const { return pluginObject("signin_pl.so"); }

    static QWebEngineView *centralView(MainWindow &w)
    {
        return w.centralWidget()->findChild<QWebEngineView *>();
    }

    void showWorkspace(MainWindow &w)
    {
        PluginManager::instance()->sendMessage(OpenWorkspace, server.url("/work.html").toString());
        QVERIFY(QTest::qWaitFor(
            [&] { return centralView(w) && centralView(w)->url() == server.url("/work.html"); },
            10000));
    }

    bool startTray()
    {
        tray.start("trayer", {"--edge", "top", "--align", "right", "--widthtype", "pixel",
                              "--width", "64", "--height", "24"});
        return tray.waitForStarted() &&
               QTest::qWaitFor([] { return XWindows::trayAvailable(); }, 10000);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(folder.isValid());
        QVERIFY(QFile::copy(FIXTURE_LOGIN, folder.filePath("signin_pl.so")));
        QVERIFY(QFile::copy(FIXTURE_PRODUCT, folder.filePath("ledger_pl.so")));
        previousDir = QDir::currentPath();
        QDir::setCurrent(folder.path());

        server.servePage("/login.html", "<html><body><a id='register' href='/reg/p.html'>reg</a>"
                                        "<a id='q' href='/x'>x</a></body></html>");
        server.servePage(
            "/login-query.html",
            "<html><body><a id='register' href='/reg/p.html?a=1'>reg</a></body></html>");
        server.servePage("/work.html", "<html><body>work</body></html>");
        server.servePage("/notify.html", "<html><body>notify</body></html>");
        QVERIFY(server.start());
    }

    void cleanupTestCase()
    {
        QDir::setCurrent(previousDir);
        if (tray.state() != QProcess::NotRunning) {
            tray.kill();
            tray.waitForFinished();
        }
    }

    void init() { resetConfig(); }

    void construction_showsLoginModule_menuWithoutVersion_destructionLeavesNoWindowBehind()
    {
        {
            MainWindow gone;
            QCOMPARE(PluginManager::instance()->getMainWindow(), &gone);
        }
        // The plug-ins were released with the window; nothing points at it any more.
        QVERIFY(PluginManager::instance()->getMainWindow() == nullptr);

        MainWindow w;
        QCOMPARE(w.windowTitle(), QStringLiteral("Mervo客户端"));
        auto *trayIcon = w.findChild<QSystemTrayIcon *>();
        QVERIFY(trayIcon && trayIcon->isVisible());
        QCOMPARE(trayIcon->toolTip(), QStringLiteral("Mervo客户端"));
        const QList<QAction *> actions = trayIcon->contextMenu()->actions();
        QCOMPARE(actions.size(), 5);
        QCOMPARE(actions[0]->text(), QStringLiteral("允许多个实例"));
        QVERIFY(actions[0]->isCheckable() && !actions[0]->isChecked());
        QVERIFY(actions[1]->isSeparator());
        QCOMPARE(actions[2]->text(), QStringLiteral("下载列表"));
        QCOMPARE(actions[3]->text(), QStringLiteral("开机自动启动"));
        QCOMPARE(actions[4]->text(), QStringLiteral("退出客户端"));

        QWebEngineView *view = centralView(w);
        QVERIFY(view);
        QCOMPARE(loginFixture()->property("calls").toStringList().last(),
                 QStringLiteral("centerLayout:"));
        QCOMPARE(w.minimumSize(), w.size());
    }

    void chineseSetUp_qtDialogTextsAndAcceptLanguage()
    {
        QVERIFY(ClientEnvironment::installTranslations(qApp));
        QDialogButtonBox box(QDialogButtonBox::Cancel | QDialogButtonBox::Save);
        QCOMPARE(box.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("取消"));
        QCOMPARE(box.button(QDialogButtonBox::Save)->text(), QStringLiteral("保存"));
        QCOMPARE(webProfile()->httpAcceptLanguage(),
                 QStringLiteral("zh-CN,zh"));
        // The start-up line names the engine this build really runs (Qt 5.15: Chromium 87,
        // Qt 6.4: Chromium 102).
        QVERIFY(QRegularExpression(QStringLiteral("^Qt WebEngine %1\\.\\d+\\.\\d+ "
                                                  "\\(Chromium (8|9|1\\d)\\d\\.\\d+\\.\\d+\\.\\d+\\)$")
                                       .arg(QT_VERSION_MAJOR))
                    .match(ClientEnvironment::webEngineDescription())
                    .hasMatch());
        QCOMPARE(ClientEnvironment::chromiumVersionOf(
                     "Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/537.36 (KHTML, like Gecko) "
                     "QtWebEngine/5.15.13 Chrome/87.0.4280.144 Safari/537.36"),
                 QStringLiteral("87.0.4280.144"));
        QCOMPARE(ClientEnvironment::chromiumVersionOf("HeadlessChrome/ x"), QString());
    }

    void graphicsAndProcessModel_softwareRasterizersKnown_ownProcessFlagsKept()
    {
        const struct
        {
            const char *renderer;
            bool software;
        } renderers[] = {{"llvmpipe (LLVM 15.0.6, 256 bits)", true},
                         {"Software Rasterizer", true},
                         {"Google SwiftShader", true},
                         {"ANGLE (Microsoft Basic Render Driver Direct3D11 vs_5_0 ps_5_0)", true},
                         {"Mesa Intel(R) UHD Graphics 620 (KBL GT2)", false},
                         {"ANGLE (NVIDIA GeForce GTX 1050 Direct3D11 vs_5_0 ps_5_0)", false},
                         {"", false}};
        for (const auto &r : renderers)
            QVERIFY2(ClientEnvironment::isSoftwareRenderer(r.renderer) == r.software, r.renderer);

        const QByteArray saved = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
        const struct
        {
            const char *before;
            const char *after;
        } flags[] = {{"", "--site-per-process --renderer-process-limit=1"},
                     {"--disable-gpu", "--disable-gpu --site-per-process --renderer-process-limit=1"},
                     {"--renderer-process-limit=4", "--renderer-process-limit=4"},
                     {"--single-process", "--single-process"},
                     {"--process-per-site", "--process-per-site"},
                     {"--disable-site-isolation-trials", "--disable-site-isolation-trials"}};
        for (const auto &f : flags) {
            qputenv("QTWEBENGINE_CHROMIUM_FLAGS", f.before);
            ClientEnvironment::isolateSitesInOneRendererEach();
            ClientEnvironment::isolateSitesInOneRendererEach(); // a second call adds nothing
            QCOMPARE(qgetenv("QTWEBENGINE_CHROMIUM_FLAGS"), QByteArray(f.after));
        }
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", saved);
    }

    void webNotification_trayBalloonWithItsTitle_clickBringsWindowBackAndTellsThePage()
    {
        MainWindow w;
        auto *presenter = w.findChild<NotificationPresenter *>();
        QVERIFY(presenter);
        QSignalSpy presented(presenter, &NotificationPresenter::presented);
        QWebEngineView view;
        QWebEnginePage page(webProfile());
        view.setPage(&page);
        connect(&page, &QWebEnginePage::featurePermissionRequested, &page,
                [&page](const QUrl &origin, QWebEnginePage::Feature feature) {
                    page.setFeaturePermission(origin, feature,
                                              QWebEnginePage::PermissionGrantedByUser);
                });
        page.load(server.url("/notify.html"));
        QVERIFY(WebTest::waitLoaded(&view, server.url("/notify.html")));
        WebTest::eval(&page, "Notification.requestPermission().then(function () {"
                             "  var n = new Notification('新订单', {body: '订单 42 已付款'});"
                             "  n.onclick = function () { window.clicked = true; };"
                             "}); 1");
        QVERIFY(QTest::qWaitFor([&] { return presented.count() == 1; }, 10000));
        QCOMPARE(presented.at(0).at(0).toString(), QStringLiteral("新订单"));
        QCOMPARE(presented.at(0).at(1).toString(), QStringLiteral("订单 42 已付款"));

        w.hide();
        emit w.findChild<QSystemTrayIcon *>()->messageClicked();
        QVERIFY(w.isVisible());
        QVERIFY(QTest::qWaitFor(
            [&] { return WebTest::eval(&page, "window.clicked === true", 1000).toBool(); }, 10000));

        // A balloon of the client's own (hidden to the tray) follows: its click is no
        // click on the notification.
        WebTest::eval(&page, "window.clicked = false; 1");
        presenter->otherMessageShown();
        emit w.findChild<QSystemTrayIcon *>()->messageClicked();
        QTest::qWait(500);
        QCOMPARE(WebTest::eval(&page, "window.clicked").toBool(), false);
    }

    void trayMenu_versionEntry_andMultiClientToggleWritesOneZero()
    {
        {
            QSettings s = config();
            s.setValue("Sys/Version", "1.2.3");
            s.setValue("Sys/MultiClient", "yes");
        }
        MainWindow w;
        const QList<QAction *> actions = w.findChild<QSystemTrayIcon *>()->contextMenu()->actions();
        QCOMPARE(actions.size(), 7);
        QVERIFY(actions[0]->isChecked());
        QCOMPARE(actions[2]->text(), QStringLiteral("版本号:1.2.3"));
        QVERIFY(!actions[2]->isEnabled());
        QVERIFY(actions[1]->isSeparator() && actions[3]->isSeparator());

        actions[0]->trigger();
        QCOMPARE(config().value("Sys/MultiClient").toString(), QStringLiteral("0"));
        actions[0]->trigger();
        QCOMPARE(config().value("Sys/MultiClient").toString(), QStringLiteral("1"));
    }

    // The administrator's keys: the tray shows them locked, the close never asks, the
    // autostart entry is what they say, and the user's own file changes nothing.
    void managedKeys_trayItemsLocked_closeDoesNotAsk_autostartEntryFollows()
    {
        QVERIFY(!QSystemTrayIcon::isSystemTrayAvailable());
        const QString managed = QDir::current().filePath("managed.ini");
        {
            QSettings m(managed, QSettings::IniFormat);
            m.setValue("Sys/MultiClient", "0");
            m.setValue("Sys/Autostart", "1");
            m.setValue("Sys/CloseAction", "min");
        }
        config().setValue("Sys/MultiClient", "1");
        qputenv("MERVO_MANAGED_INI", managed.toLocal8Bit());
        const QString entry =
            QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME")) + "/autostart/mervo-client.desktop";
        QFile::remove(entry);
        {
            MainWindow w;
            const QList<QAction *> actions =
                w.findChild<QSystemTrayIcon *>()->contextMenu()->actions();
            QAction *multi = actions.first(), *autostart = actions[actions.size() - 2];
            for (QAction *action : {multi, autostart}) {
                QVERIFY(!action->isEnabled());
                QCOMPARE(action->toolTip(), QStringLiteral("由管理员设置"));
            }
            QVERIFY(!multi->isChecked());
            QVERIFY(QFile::exists(entry));
            w.showMaximized();
            showWorkspace(w);
            w.close(); // the managed answer, not asked (the last test has a managed empty one)
            QVERIFY(w.isMinimized());
        }
        // Managed off while an administrator's system entry is there: the user's hides it.
        const QString system = QDir::current().filePath("xdg");
        QVERIFY(QDir().mkpath(system + "/autostart"));
        QFile systemEntry(system + "/autostart/mervo-client.desktop");
        QVERIFY(systemEntry.open(QIODevice::WriteOnly));
        systemEntry.write(Autostart::desktopEntry("/usr/bin/mervo-client").toUtf8());
        systemEntry.close();
        qputenv("XDG_CONFIG_DIRS", system.toLocal8Bit());
        {
            QSettings m(managed, QSettings::IniFormat);
            m.setValue("Sys/Autostart", "0");
        }
        QVERIFY(Autostart::isEnabled());
        { MainWindow w; }
        QVERIFY(!Autostart::isEnabled());
        QFile own(entry);
        QVERIFY(own.open(QIODevice::ReadOnly));
        QVERIFY(own.readAll().endsWith("\nHidden=true\n"));
        qunsetenv("XDG_CONFIG_DIRS");
        qunsetenv("MERVO_MANAGED_INI");
        QFile::remove(managed);
        QFile::remove(entry);
        QCOMPARE(config().value("Sys/MultiClient").toString(), QStringLiteral("1"));
        QVERIFY(!config().contains("Sys/CloseAction"));
    }

    void downloadsAndAutostart_trayEntries_balloonClickOpensList_entryStateFromTheSystem()
    {
        MainWindow w;
        QObject *product = pluginObject("ledger_pl.so");
        product->setProperty("received", QStringList());
        QMenu *menu = w.findChild<QSystemTrayIcon *>()->contextMenu();
        const QList<QAction *> actions = menu->actions();
        QAction *downloads = actions[actions.size() - 3];
        QAction *autostart = actions[actions.size() - 2];

        // The list belongs to the workspace module, also when the login view is shown.
        downloads->trigger();
        QVERIFY(product->property("received")
                    .toStringList()
                    .contains(QString("%1:").arg(ShowDownloads)));
        product->setProperty("received", QStringList());
        w.hide();
        PluginManager::instance()->sendMessage(DownloadFinished, "report.xlsx");
        emit w.findChild<QSystemTrayIcon *>()->messageClicked();
        QVERIFY(product->property("received")
                    .toStringList()
                    .contains(QString("%1:").arg(ShowDownloads)));

        const QString entry =
            QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME")) + "/autostart/mervo-client.desktop";
        QVERIFY(autostart->isCheckable() && !autostart->isChecked());
        autostart->trigger();
        QFile file(entry);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        file.close();
        QVERIFY(text.contains("\nExec=\"" + QCoreApplication::applicationFilePath() + "\"\n"));
        QVERIFY(text.startsWith("[Desktop Entry]\nType=Application\n"));
        QVERIFY(autostart->isChecked());
        // Switched off or removed behind the client's back: the menu shows what the
        // system has.
        QVERIFY(file.open(QIODevice::Append));
        file.write("Hidden=true\n");
        file.close();
        emit menu->aboutToShow();
        QVERIFY(!autostart->isChecked());
        autostart->trigger();
        QVERIFY(autostart->isChecked());
        QVERIFY(QFile::remove(entry));
        emit menu->aboutToShow();
        QVERIFY(!autostart->isChecked());
        autostart->trigger();
        autostart->trigger();
        QVERIFY(!QFile::exists(entry));
        QVERIFY(!config().contains("Sys/Autostart"));
    }

    void settingsRules_booleanAndKeySpelling_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("multi");
        QTest::newRow("true") << "true" << true;
        QTest::newRow("yes") << "yes" << true;
        QTest::newRow("1") << "1" << true;
        QTest::newRow("0") << "0" << false;
        QTest::newRow("FALSE") << "FALSE" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("absent") << QString() << false;
    }

    void settingsRules_booleanAndKeySpelling()
    {
        QFETCH(QString, text);
        QFETCH(bool, multi);
        {
            QSettings s = config();
            if (!text.isNull())
                s.setValue("Sys/MultiClient", text);
            s.setValue("/Sys/PID", "CPU-1");
        }
        QCOMPARE(config().value("Sys/PID").toString(), QStringLiteral("CPU-1"));
        MainWindow w;
        QCOMPARE(w.findChild<QSystemTrayIcon *>()->contextMenu()->actions().first()->isChecked(),
                 multi);
    }

    void messages_setTitleAndSplitTrayToolTip()
    {
        MainWindow w;
        auto *trayIcon = w.findChild<QSystemTrayIcon *>();
        PluginManager::instance()->sendMessage(SetTrayToolTip, QStringLiteral("a|-b|-c"));
        QCOMPARE(trayIcon->toolTip(), QStringLiteral("a\n-b\n-c"));
        PluginManager::instance()->sendMessage(SetTrayToolTip, QStringLiteral("a||b"));
        QCOMPARE(trayIcon->toolTip(), QStringLiteral("a\n\nb"));
        PluginManager::instance()->sendMessage(SetWindowTitle, QStringLiteral("Acme 产品"));
        QCOMPARE(w.windowTitle(), QStringLiteral("Acme 产品"));
    }

    void openWorkspace_releasesLogin_showsWorkspace_thenForwards()
    {
        MainWindow w;
        QObject *product = pluginObject("ledger_pl.so");
        product->setProperty("received", QStringList());
        const QString url = server.url("/work.html").toString();
        PluginManager::instance()->sendMessage(OpenWorkspace, url);
        QCOMPARE(loginFixture()->property("calls").toStringList().last(),
                 QStringLiteral("release"));
        QCOMPARE(product->property("calls").toStringList().last(), "centerLayout:" + url);
        // Every window built in this process registered the workspace again, so
        // it may hear the message more than once; it hears nothing else.
        const QStringList received = product->property("received").toStringList();
        QVERIFY(!received.isEmpty());
        QCOMPARE(received.count("0:" + url), received.size());

        PluginManager::instance()->sendMessage(OpenLogin, QString());
        QCOMPARE(product->property("calls").toStringList().last(), QStringLiteral("release"));
        QCOMPARE(loginFixture()->property("calls").toStringList().last(),
                 QStringLiteral("centerLayout:"));
    }

    void f5_onQrcPage_loadsPluginUrl_onHttpPage_reloads()
    {
        loginFixture()->setProperty("loadUrl", server.url("/login.html"));
        MainWindow w;
        w.show();
        QWebEngineView *view = centralView(w);
        QVERIFY(WebTest::waitLoaded(view, QUrl("qrc:/fixture.html")));

        QTest::ignoreMessage(QtDebugMsg, "reload plugin url");
        QTest::keyRelease(&w, Qt::Key_F5);
        QVERIFY(WebTest::waitLoaded(view, server.url("/login.html")));

        QTest::ignoreMessage(QtDebugMsg, "reload current url");
        QTest::keyRelease(&w, Qt::Key_F5);
    }

    void loginPageLoad_appendsQuotedSourceIdToRegisterLink_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("sourceId");
        QTest::addColumn<QString>("expectedSuffix");
        QTest::newRow("plain") << "/login.html"
                               << "7"
                               << "/reg/p.html?source=7";
        QTest::newRow("empty") << "/login.html"
                               << ""
                               << "/reg/p.html?source=";
        QTest::newRow("query") << "/login-query.html"
                               << "7"
                               << "/reg/p.html?a=1?source=7";
        QTest::newRow("hostile") << "/login.html"
                                 << "x';window.pwned=1;'"
                                 << "/reg/p.html?source=x%27;window.pwned=1;%27";
    }

    void loginPageLoad_appendsQuotedSourceIdToRegisterLink()
    {
        QFETCH(QString, page);
        QFETCH(QString, sourceId);
        QFETCH(QString, expectedSuffix);
        config().setValue("Sys/SourceId", sourceId);
        loginFixture()->setProperty("loadUrl", server.url(page));
        MainWindow w;
        QWebEngineView *view = centralView(w);
        QVERIFY(WebTest::waitLoaded(view, QUrl("qrc:/fixture.html")));
        w.reloadView();
        QVERIFY(WebTest::waitLoaded(view, server.url(page)));
        QVERIFY(QTest::qWaitFor(
            [&] {
                return WebTest::eval(view->page(), "document.getElementById('register').href")
                    .toString()
                    .endsWith(expectedSuffix);
            },
            5000));
        QCOMPARE(WebTest::eval(view->page(), "typeof window.pwned").toString(),
                 QStringLiteral("undefined"));
    }

    void closeWithoutTray_minAction_minimisesInsteadOfHiding()
    {
        QVERIFY(!QSystemTrayIcon::isSystemTrayAvailable());
        config().setValue("Sys/CloseAction", "min");
        MainWindow w;
        w.showMaximized();
        showWorkspace(w);
        w.close();
        QVERIFY(w.isVisible());
        QVERIFY(w.isMinimized());
    }

    void closeDialog_cancel_hidesAndWritesNothing()
    {
        QVERIFY(startTray());
        QVERIFY(QTest::qWaitFor([] { return QSystemTrayIcon::isSystemTrayAvailable(); }, 5000));
        MainWindow w;
        w.showMaximized();
        showWorkspace(w);
        bool sawDialog = false;
        const auto dialogWatch = WebTest::onNextModal([&](QWidget *modal) {
            sawDialog = modal->objectName() == QLatin1String("CloseDialog");
            QTest::mouseClick(modal->findChild<QPushButton *>("btnCancel"), Qt::LeftButton);
        });
        w.close();
        QVERIFY(sawDialog);
        QVERIFY(!w.isVisible());
        QVERIFY(!QFile::exists(folder.filePath("config.ini")) ||
                !config().contains("Sys/CloseAction"));
    }

    void closeDialog_minAndRemember_hides_writesMin_laterClosesDoNotAsk()
    {
        MainWindow w;
        w.showMaximized();
        showWorkspace(w);
        const auto dialogWatch = WebTest::onNextModal([](QWidget *modal) {
            auto *rbMin = modal->findChild<QRadioButton *>("rbMin");
            QVERIFY(rbMin->isChecked());
            QTest::mouseClick(modal->findChild<QCheckBox *>("cbSaveConfig"), Qt::LeftButton);
            QTest::mouseClick(modal->findChild<QPushButton *>("btnOk"), Qt::LeftButton);
        });
        w.close();
        QVERIFY(!w.isVisible());
        QCOMPARE(config().value("Sys/CloseAction").toString(), QStringLiteral("min"));

        // A tray double click brings it back maximised; a single click does nothing.
        auto *trayIcon = w.findChild<QSystemTrayIcon *>();
        emit trayIcon->activated(QSystemTrayIcon::Trigger);
        QVERIFY(!w.isVisible());
        emit trayIcon->activated(QSystemTrayIcon::DoubleClick);
        QVERIFY(w.isVisible() && w.isMaximized());

        bool asked = false;
        const auto laterWatch = WebTest::onNextModal([&](QWidget *modal) {
            asked = true;
            modal->close();
        });
        w.close();
        QTest::qWait(200);
        QVERIFY(!asked);
        QVERIFY(!w.isVisible());
    }

    // A quit would end every later event loop of this process: only the last test quits.
    void storedActionInCapitals_isLowerCased()
    {
        config().setValue("Sys/CloseAction", "MIN");
        MainWindow w;
        w.showMaximized();
        showWorkspace(w);
        // QCoreApplication::exit ends every running event loop, this one too (with 0).
        QEventLoop loop;
        QTimer::singleShot(0, &w, [&w] { w.close(); });
        QTimer::singleShot(1000, &loop, [&loop] { loop.exit(1); });
        const int ended = loop.exec();
        QVERIFY2(ended != -1, "an earlier test ended the application");
        QCOMPARE(ended, 1); // "MIN" means min: hidden, not quit
        QVERIFY(!w.isVisible() || w.isMinimized());
    }

    // Last: it quits. The close action is the administrator's, left empty: closing quits
    // without the close dialog (any other modal fails the answers below).
    void quitWithDownloadsRunning_asks_cancelKeepsAll_quitCancelsThem()
    {
        const QString managed = QDir::current().filePath("managed.ini");
        QSettings(managed, QSettings::IniFormat).setValue("Sys/CloseAction", "");
        qputenv("MERVO_MANAGED_INI", managed.toLocal8Bit());
        MainWindow w;
        w.showMaximized();
        showWorkspace(w);
        QObject *product = pluginObject("ledger_pl.so");
        product->setProperty("received", QStringList());
        PluginManager::instance()->sendMessage(DownloadsRunning, "1");

        auto answer = [](const QString &button, QString *text) {
            return WebTest::onNextModal([button, text](QWidget *modal) {
                auto *box = qobject_cast<QMessageBox *>(modal);
                QVERIFY(box);
                *text = box->text();
                for (QAbstractButton *b : box->buttons())
                    if (b->text() == button)
                        b->click();
            });
        };
        const QString question = QStringLiteral("有下载尚未完成，退出将取消下载。");
        QString asked;
        {
            const auto watch = answer("取消", &asked);
            w.slt_CloseEvent(); // "退出客户端"
        }
        QCOMPARE(asked, question);
        asked.clear();
        {
            const auto watch = answer("取消", &asked);
            w.close();
        }
        QCOMPARE(asked, question);
        QVERIFY(w.isVisible());
        QVERIFY(!product->property("received")
                     .toStringList()
                     .contains(QString("%1:").arg(CancelDownloads)));

        asked.clear();
        const auto watch = answer("退出", &asked);
        QEventLoop loop;
        QTimer::singleShot(0, &w, [&w] { w.close(); });
        QTimer::singleShot(10000, &loop, [&loop] { loop.exit(1); });
        QCOMPARE(loop.exec(), 0);
        QCOMPARE(asked, question);
        QVERIFY(product->property("received")
                    .toStringList()
                    .contains(QString("%1:").arg(CancelDownloads)));
    }
};

MERVO_WEB_TEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
