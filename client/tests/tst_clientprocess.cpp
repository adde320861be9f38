// The real MervoClient program, started from fresh program folders under Xvfb.
#include "configfile.h"
#include "programfolder.h"
#include "xwindows.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QtTest>

#include <memory>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

static const QString MainTitle = QStringLiteral("Mervo客户端");

class TestClientProcess : public QObject
{
    Q_OBJECT

private:
    QProcess tray;
    QList<QProcess *> started;
    std::unique_ptr<ProgramFolder> folder;

    ProgramFolder &newFolder(const char *plugin = nullptr, const QString &pluginName = QString())
    {
        folder = std::make_unique<ProgramFolder>();
        folder->addClient(MERVO_CLIENT_BINARY);
        folder->addRecordingUpdater();
        if (plugin)
            folder->addFile(QString::fromUtf8(plugin), pluginName);
        return *folder;
    }

    QProcess *start(const QString &program = QStringLiteral("MervoClient"))
    {
        QProcess *p = folder->startClient(this, program);
        started << p;
        return p;
    }

    int updaterRuns() const { return folder->readFile("updater-args.txt").count("--\n"); }

    static unsigned long mainWindow(QProcess *p)
    {
        unsigned long found = 0;
        (void)QTest::qWaitFor([&] {
            const auto windows = XWindows::windowsOf(p->processId(), MainTitle);
            for (unsigned long w : windows) {
                if (XWindows::isViewable(w)) {
                    found = w;
                    return true;
                }
            }
            return false;
        }, 30000);
        return found;
    }

    static bool anyViewable(QProcess *p, const QString &title)
    {
        const auto windows = XWindows::windowsOf(p->processId(), title);
        for (unsigned long w : windows)
            if (XWindows::isViewable(w))
                return true;
        return false;
    }

    static bool click(unsigned long window, int x, int y)
    {
        return QProcess::execute("xdotool", {"mousemove", "--sync", "--window", QString::number(window),
                                             QString::number(x), QString::number(y), "click", "1"}) == 0;
    }

private slots:
    void initTestCase()
    {
        tray.start("trayer", {"--edge", "top", "--widthtype", "pixel", "--width", "64"});
        QVERIFY(tray.waitForStarted());
        QVERIFY(QTest::qWaitFor([] { return XWindows::trayAvailable(); }, 10000));
    }

    void cleanup()
    {
        if (QTest::currentTestFailed() && folder)
            qWarning().noquote() << "client log:\n" << folder->readFile("client.log");
        for (QProcess *p : qAsConst(started)) {
            p->kill();
            p->waitForFinished(5000);
            delete p;
        }
        started.clear();
    }

    void cleanupTestCase()
    {
        tray.kill();
        tray.waitForFinished();
    }

    void secondStart_exitsWithoutUpdater_andBringsHiddenWindowBack()
    {
        newFolder(FIXTURE_STARTPRODUCT, "ledger_pl.so");
        folder->setConfig("Sys/CloseAction", "min");
        QProcess *first = start();
        const unsigned long window = mainWindow(first);
        QVERIFY(window);
        QCOMPARE(updaterRuns(), 1);

        QVERIFY(XWindows::requestClose(window));
        QVERIFY(QTest::qWaitFor([&] { return !XWindows::isViewable(window); }, 10000));
        QCOMPARE(first->state(), QProcess::Running);

        QProcess *second = start();
        QVERIFY(second->waitForFinished(30000));
        QCOMPARE(second->exitStatus(), QProcess::NormalExit);
        QCOMPARE(second->exitCode(), 0);
        QCOMPARE(updaterRuns(), 1);
        // Qt may give the window a new native handle when it maps it again.
        QVERIFY(QTest::qWaitFor([&] { return anyViewable(first, MainTitle); }, 10000));
    }

    void multiClient_twoIndependentInstances_eachRunsUpdater()
    {
        newFolder();
        folder->setConfig("Sys/MultiClient", "1");
        QProcess *a = start();
        QVERIFY(mainWindow(a));
        QProcess *b = start();
        QVERIFY(mainWindow(b));
        QCOMPARE(a->state(), QProcess::Running);
        QCOMPARE(b->state(), QProcess::Running);
        QCOMPARE(updaterRuns(), 2);
    }

    void staleSocketOfKilledInstance_doesNotBlockNextStart()
    {
        newFolder();
        QProcess *a = start();
        QVERIFY(mainWindow(a));
        a->kill(); // SIGKILL: no clean-up, as in a crash
        QVERIFY(a->waitForFinished(5000));
        QVERIFY(QFile::exists(qEnvironmentVariable("XDG_RUNTIME_DIR") + "/mervo_client"));

        QProcess *b = start();
        QVERIFY(mainWindow(b));
        QCOMPARE(b->state(), QProcess::Running);
        QCOMPARE(updaterRuns(), 2);

        b->kill();
        QVERIFY(b->waitForFinished(5000));
        const QString name = qEnvironmentVariable("XDG_RUNTIME_DIR") + "/mervo_client";
        QFile::remove(name);

        // A client going away holds its socket, taking no more calls, until the system has
        // closed it: a start in that moment must not take it for a running one and end
        // unseen.
        int dying = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const auto closeDying = qScopeGuard([&] {
            if (dying >= 0)
                ::close(dying);
        });
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        qstrncpy(address.sun_path, QFile::encodeName(name).constData(), sizeof address.sun_path);
        QVERIFY(::bind(dying, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0);
        QVERIFY(::listen(dying, 8) == 0);
        QProcess *c = start();
        pollfd call{dying, POLLIN, 0};
        QCOMPARE(::poll(&call, 1, 20000), 1);
        ::close(dying);
        dying = -1;
        QVERIFY(mainWindow(c));
        QCOMPARE(c->state(), QProcess::Running);
        QCOMPARE(updaterRuns(), 3);
    }

    // Another user is another runtime folder; without XDG_RUNTIME_DIR the client makes
    // one of its own, owner-only, under the temporary folder.
    void otherUsersInstance_doesNotBlockOrAnswerAStart()
    {
        newFolder();
        const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
        QProcess *first = start();
        QVERIFY(mainWindow(first));
        QVERIFY(QFile::exists(runtime + "/mervo_client"));

        qunsetenv("XDG_RUNTIME_DIR");
        QProcess *other = start();
        QProcess *otherAgain = nullptr;
        const bool otherShown = mainWindow(other) != 0;
        if (otherShown) {
            otherAgain = start();
            otherAgain->waitForFinished(30000);
        }
        qputenv("XDG_RUNTIME_DIR", runtime.toLocal8Bit());
        QVERIFY(otherShown);
        QCOMPARE(other->state(), QProcess::Running);
        QCOMPARE(otherAgain->exitCode(), 0);
        QCOMPARE(updaterRuns(), 2);
        const QStringList made = QDir(QDir::tempPath()).entryList({"runtime-*"}, QDir::Dirs);
        QCOMPARE(made.size(), 1);
        const QFileInfo own(QDir(QDir::tempPath()).filePath(made.first()));
        QVERIFY(QFile::exists(own.filePath() + "/mervo_client"));
        // Nothing for group or others.
        QCOMPARE(int(own.permissions() & 0x77), 0);
    }

    void simultaneousStarts_leaveExactlyOneInstance()
    {
        newFolder();
        for (int round = 0; round < 3; ++round) {
            QProcess *a = start();
            QProcess *b = start();
            QVERIFY(QTest::qWaitFor([&] {
                return a->state() == QProcess::NotRunning || b->state() == QProcess::NotRunning;
            }, 40000));
            QProcess *ended = a->state() == QProcess::NotRunning ? a : b;
            QProcess *survivor = ended == a ? b : a;
            QCOMPARE(ended->exitCode(), 0);
            QVERIFY(mainWindow(survivor));
            QTest::qWait(500);
            QCOMPARE(survivor->state(), QProcess::Running);
            survivor->kill();
            survivor->waitForFinished();
        }
    }

    void updaterArguments_followTheLoginRecord_data()
    {
        QTest::addColumn<QByteArray>("record");
        QTest::addColumn<QString>("startedAs");
        QTest::addColumn<QStringList>("expected");
        const QString m = "-m MervoClient";
        const QString client = "MervoClient";
        QTest::newRow("both") << QByteArray("{\"companyName\": \"Acme\", \"productId\": \"42\"}")
                              << client << QStringList{m, "-c Acme", "-p 42"};
        QTest::newRow("productId only") << QByteArray("{\"productId\": \"42\"}") << client
                                        << QStringList{m, "-p 42"};
        QTest::newRow("not a string") << QByteArray("{\"companyName\": 5}") << client
                                      << QStringList{m, "-c "};
        QTest::newRow("not JSON") << QByteArray("companyName=Acme") << client << QStringList{m};
        QTest::newRow("absent") << QByteArray() << client << QStringList{m};
        // The updater ends the client by its executable's name, not by what argv[0] says.
        QTest::newRow("started through a link") << QByteArray() << "mervo" << QStringList{m};
    }

    void updaterArguments_followTheLoginRecord()
    {
        QFETCH(QByteArray, record);
        QFETCH(QString, startedAs);
        QFETCH(QStringList, expected);
        newFolder();
        if (startedAs != "MervoClient")
            QVERIFY(QFile::link(folder->filePath("MervoClient"), folder->filePath(startedAs)));
        const QString dataDir = qEnvironmentVariable("XDG_DATA_HOME") + "/MervoClient";
        QDir(dataDir).removeRecursively();
        if (!record.isNull()) {
            QVERIFY(QDir().mkpath(dataDir));
            QFile f(dataDir + "/login.secret");
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(record);
        }
        QProcess *client = start(startedAs);
        QVERIFY(QTest::qWaitFor([&] { return updaterRuns() == 1; }, 30000));
        QStringList args = QString::fromUtf8(folder->readFile("updater-args.txt")).split('\n');
        args.removeAll(QString());
        args.removeAll("--");
        QCOMPARE(args, expected);
        QVERIFY(mainWindow(client));
        QDir(dataDir).removeRecursively();
    }

    // A damaged config.ini is copied aside before the client writes anything.
    void closeWithLoginShown_quitsAtOnce()
    {
        newFolder(FIXTURE_LOGIN, "signin_pl.so");
        const QByteArray damaged("[Sys]\nLoginUrl=http://127.0.0.1:1/login\ngarbage\x01\xff\n");
        {
            QFile config(folder->filePath("config.ini"));
            QVERIFY(config.open(QIODevice::WriteOnly));
            config.write(damaged);
        }
        // Without OpenGL the window is still drawn, in software.
        qputenv("QT_XCB_GL_INTEGRATION", "none");
        QProcess *client = start();
        qunsetenv("QT_XCB_GL_INTEGRATION");
        const unsigned long window = mainWindow(client);
        QVERIFY(window);
        QVERIFY(XWindows::requestClose(window));
        QVERIFY(client->waitForFinished(10000));
        QCOMPARE(client->exitStatus(), QProcess::NormalExit);
        QCOMPARE(client->exitCode(), 0);
        QVERIFY(folder->readFile("client.log").contains("graphics: no OpenGL, views are composited in software"));
        QVERIFY(!folder->readFile("config.ini").contains("CloseAction"));
        QCOMPARE(folder->readFile("config.ini.damaged"), damaged);

        // A file that stays damaged is copied once, not at every start; a byte-order mark
        // is no damage.
        const auto write = [&](const QString &name, const QByteArray &content) {
            QFile file(folder->filePath(name));
            return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
        };
        QVERIFY(write("again.ini", damaged));
        const QString copy = keepDamagedConfigAside(folder->filePath("again.ini"));
        QCOMPARE(copy, folder->filePath("again.ini.damaged"));
        QCOMPARE(keepDamagedConfigAside(folder->filePath("again.ini")), copy);
        QCOMPARE(QFileInfo(copy).dir().entryList({"again.ini.damaged*"}).size(), 1);
        QVERIFY(write("bom.ini", "\xEF\xBB\xBF[Sys]\nVersion=1.0\n"));
        QCOMPARE(keepDamagedConfigAside(folder->filePath("bom.ini")), QString());
    }

    void closeDialog_quitAndRemember_storesClose_nextCloseQuitsWithoutAsking()
    {
        newFolder(FIXTURE_STARTPRODUCT, "ledger_pl.so");
        QProcess *client = start();
        const unsigned long window = mainWindow(client);
        QVERIFY(window);
        QVERIFY(XWindows::requestClose(window));

        unsigned long dialog = 0;
        QVERIFY(QTest::qWaitFor([&] {
            const auto found = XWindows::windowsOf(client->processId(), QStringLiteral("关闭提示"));
            for (unsigned long w : found)
                if (XWindows::isViewable(w))
                    dialog = w;
            return dialog != 0;
        }, 10000));
        // Widget positions come from the dialog's form.
        QVERIFY(click(dialog, 130, 58));   // 退出程序
        QVERIFY(click(dialog, 60, 108));   // 不再提醒
        QVERIFY(click(dialog, 217, 111));  // 确认
        QVERIFY(client->waitForFinished(10000));
        QCOMPARE(client->exitCode(), 0);
        QCOMPARE(folder->config("Sys/CloseAction"), QStringLiteral("close"));

        QProcess *again = start();
        const unsigned long window2 = mainWindow(again);
        QVERIFY(window2);
        QVERIFY(XWindows::requestClose(window2));
        QVERIFY(again->waitForFinished(10000));
        QCOMPARE(again->exitCode(), 0);
        QVERIFY(!anyViewable(again, QStringLiteral("关闭提示")));
    }
};

QTEST_GUILESS_MAIN(TestClientProcess)
#include "tst_clientprocess.moc"
