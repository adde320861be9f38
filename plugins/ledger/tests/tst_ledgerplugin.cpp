// The built ledger_pl library in a recording host, against pages served on 127.0.0.1.
#include "desktopstandin.h"
#include "deviceidentity.h"
#include "loginrecord.h"
#include "logwatch.h"
#include "pluginhost.h"
#include "processkill.h"
#include "testhttpserver.h"
#include "urlrecorder.h"
#include "webprofile.h"
#include "webtesthelpers.h"
#include "webtestmain.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkCookie>
#include <QWebEngineCookieStore>
#include <QWebEngineProfile>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QWebEngineHistory>
#include <QWebEngineNotification>
#include <QWebEngineProfile>
#include <QWheelEvent>

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>

class TestLedgerPlugin : public QObject
{
    Q_OBJECT

private:
    DesktopStandIn standIn; // first: every address the desktop gets is recorded
    QTemporaryDir folder;
    TestHttpServer server;
    TestHttpServer other;
    PluginHost host{LEDGER_PLUGIN};
    UrlRecorder desktop{{"http", "https", "tencent", "aliim"}};
    std::atomic<int> brokenHits{0};
    std::atomic<int> landingHits{0}; // requests of the other site's landing page

    QWebEngineView *view() const { return host.plugin()->getWeb(); }
    QWebEnginePage *page() const { return view()->page(); }
    QUrl workUrl() const { return server.url("/work.html"); }

    static QByteArray data(const QString &name)
    {
        QFile f(QFINDTESTDATA("data/" + name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QVariant call(const QString &name, const QString &jsonArgs = "[]")
    {
        WebTest::eval(page(), QString("window.call('%1', %2)").arg(name, jsonArgs));
        QVariant answer;
        (void)QTest::qWaitFor(
            [&] {
                answer =
                    WebTest::eval(page(), "window.answer === undefined ? null : window.answer");
                return answer.isValid() && !answer.isNull();
            },
            10000);
        return answer;
    }

    // The workspace as a fresh login leaves it: shown, waiting page done, service page up.
    void showWorkspace()
    {
        if (!view()) {
            QVERIFY(host.show(workUrl().toString()));
            QVERIFY(QTest::qWaitFor([&] { return host.count(ReloadView) >= 1; }, 10000));
        } else if (view()->url() != workUrl()) {
            view()->load(workUrl());
        }
        QVERIFY(WebTest::waitLoaded(view(), workUrl()));
        QVERIFY(QTest::qWaitFor(
            [&] { return WebTest::eval(page(), "window.bridgeReady === true").toBool(); }, 10000));
        host.messages.clear();
        desktop.urls.clear();
    }

    static QMainWindow *secondaryWindow()
    {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (QByteArray(w->metaObject()->className()) == "BaseDialog" && !w->isHidden())
                return static_cast<QMainWindow *>(w);
        return nullptr;
    }

    // Secondary frames that still exist, shown or not (a closed one is deleted).
    static QList<QMainWindow *> frames()
    {
        QList<QMainWindow *> found;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (QByteArray(w->metaObject()->className()) == "BaseDialog")
                found << static_cast<QMainWindow *>(w);
        return found;
    }

    // Clicks the page's new-tab link and returns the window it opened.
    QMainWindow *openReportWindow()
    {
        const QList<QMainWindow *> before = frames();
        WebTest::eval(page(), "document.getElementById('tab').click()");
        QMainWindow *opened = nullptr;
        (void)QTest::qWaitFor(
            [&] {
                for (QMainWindow *f : frames())
                    if (!before.contains(f) && f->isVisible())
                        opened = f;
                return opened != nullptr;
            },
            10000);
        if (opened && !WebTest::waitLoaded(secondaryView(opened), server.url("/sub/page.html")))
            return nullptr;
        return opened;
    }

    static QWebEngineView *secondaryView(QMainWindow *frame)
    {
        return frame ? qobject_cast<QWebEngineView *>(frame->centralWidget()) : nullptr;
    }

    void closeSecondaryWindows()
    {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (QByteArray(w->metaObject()->className()) == "BaseDialog")
                w->close();
        QTest::qWait(50);
    }

private slots:
    void initTestCase()
    {
        QDir::setCurrent(folder.path());
        qputenv("XDG_DATA_HOME", folder.filePath("data").toUtf8());
        QFile js(QWEBCHANNEL_JS);
        QVERIFY(js.open(QIODevice::ReadOnly));
        const QByteArray channelJs = js.readAll();
        QVERIFY(other.start());
        server.servePage("/qwebchannel.js", channelJs, "application/javascript");
        server.servePage("/work.html", data("work.html"));
        server.servePage("/sub/page.html", data("sub.html"));
        server.servePage("/popup.html", "<html><body>popup</body></html>");
        server.servePage("/frame.html",
                         "<html><body><iframe src='/redirect-out'></iframe></body></html>");
        server.servePage(
            "/mic.html",
            data("mic.html")
                .replace("FRAME_SRC", other.url("/mic-frame.html").toString().toUtf8()));
        server.servePage("/tp/wpaCall/getProtocol",
                         "{\"url\":\"tencent:\\/\\/message\\/?uin=1&env=2\"}", "application/json");
        const std::string outside =
            QString("http://localhost:%1/landing.html").arg(other.port()).toStdString();
        server.server().Get("/redirect-out",
                            [outside](const httplib::Request &, httplib::Response &res) {
                                res.set_redirect(outside.c_str());
                            });
        server.server().Get("/files/report.xlsx", [](const httplib::Request &,
                                                     httplib::Response &res) {
            // Slow enough to see the window that carries the link.
            std::this_thread::sleep_for(std::chrono::milliseconds(800));
            res.set_content(std::string(1024, 'x'),
                            "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet");
        });
        server.server().Get("/broken", [this](const httplib::Request &, httplib::Response &res) {
            ++brokenHits;
            res.status = 500;
        });
        QVERIFY(server.start());
        other.server().Get("/landing.html", [this](const httplib::Request &,
                                                   httplib::Response &res) {
            ++landingHits;
            res.set_content("<html><body>elsewhere</body></html>", "text/html");
        });
        other.servePage("/qwebchannel.js", channelJs, "application/javascript");
        other.servePage("/mic-frame.html", data("mic-frame.html"));
        QVERIFY2(host.load(), qPrintable(host.errorString()));
    }

    void cleanup() { closeSecondaryWindows(); }

    void identity_registersForOpenWorkspace_castMessageOnlyLogs()
    {
        PluginInterface *p = host.plugin();
        QCOMPARE(p->id(), QStringLiteral("com.interface.model.product"));
        QCOMPARE(p->type(), WorkspaceModule);
        QCOMPARE(p->name(), QStringLiteral("产品模块"));
        QVERIFY(p->getAction() == nullptr);
        QVERIFY(p->getWeb() == nullptr);
        QCOMPARE(host.registrations,
                 (QList<PluginHost::Message>{{OpenWorkspace, p->id()}, {ShowDownloads, p->id()}}));
        QTest::ignoreMessage(QtDebugMsg, "load... \"http://x/y\"");
        p->castMessage(OpenWorkspace, "http://x/y");
        QVERIFY(host.messages.isEmpty());
    }

    void emptyStartUrl_showsInformationBox_andNoLayout()
    {
        bool boxShown = false;
        const auto boxWatch = WebTest::onNextModal([&](QWidget *modal) {
            auto *box = qobject_cast<QMessageBox *>(modal);
            boxShown = box && box->windowTitle() == QStringLiteral("登录提示") &&
                       box->text() == QStringLiteral("目标地址为空,请联系服务顾问");
            modal->close();
        });
        QVERIFY(!host.show(QString()));
        QVERIFY(boxShown);
        QVERIFY(host.plugin()->getWeb() == nullptr);
    }

    // Nothing of the service has loaded yet. A service that answers with an error gets
    // one more try a second later; one that cannot be reached gets the client's page,
    // retries 1 s, 2 s, 4 s ... apart, and its page as soon as it answers.
    void serviceFailures_errorAnsweredReloadedOnce_unreachableBacksOffToOwnPage()
    {
        QVERIFY(host.show(server.url("/broken").toString()));
        QVERIFY(QTest::qWaitFor([&] { return brokenHits >= 2; }, 15000));
        QTest::qWait(3000);
        QCOMPARE(int(brokenHits), 2);
        QCOMPARE(view()->url(), server.url("/broken"));
        host.release();
        QVERIFY(QTest::qWaitFor([&] { return view() == nullptr; }, 5000));

        // Accepts and drops every connection until told to answer.
        QTcpServer service;
        QVERIFY(service.listen(QHostAddress::LocalHost));
        QList<qint64> connections;
        QElapsedTimer clock;
        bool answering = false;
        connect(&service, &QTcpServer::newConnection, &service, [&] {
            while (QTcpSocket *socket = service.nextPendingConnection()) {
                if (!clock.isValid())
                    clock.start();
                connections << clock.elapsed();
                if (!answering) {
                    socket->abort();
                    socket->deleteLater();
                    continue;
                }
                connect(socket, &QTcpSocket::readyRead, socket, [socket] {
                    socket->write("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n"
                                  "<title>back</title>service is back");
                    socket->disconnectFromHost();
                });
            }
        });
        const QUrl down(
            QString("http://127.0.0.1:%1/work.html?token=secret").arg(service.serverPort()));
        const LogWatch unreachable("^service unreachable: ");
        QVERIFY(host.show(down.toString()));
        // Title, heading, the address without its token, the button and a countdown.
        const QString expected = QStringLiteral("无法连接到服务器|无法连接到服务器|%1|重试|true")
                                     .arg(down.adjusted(QUrl::RemoveQuery).toString());
        const QString shown =
            "[document.title, document.querySelector('h1').textContent,"
            " document.getElementById('address').textContent,"
            " document.getElementById('retry').textContent,"
            " /^[0-9]+$/.test(document.getElementById('countdown').textContent)].join('|')";
        QVERIFY(QTest::qWaitFor(
            [&] { return WebTest::eval(page(), shown, 1000).toString() == expected; }, 15000));

        QVERIFY(QTest::qWaitFor([&] { return clock.elapsed() > 10000; }, 20000));
        // At most about one connection a second, and the announced waits double.
        const int inTenSeconds = int(std::count_if(connections.cbegin(), connections.cend(),
                                                   [](qint64 at) { return at <= 10000; }));
        QVERIFY2(inTenSeconds >= 3 && inTenSeconds <= 12,
                 qPrintable(QString::number(inTenSeconds)));
        const QStringList waits = unreachable.matched();
        QVERIFY2(waits.size() >= 3, qPrintable(waits.join('\n')));
        for (int i = 0; i < 3; ++i)
            QVERIFY2(waits[i].endsWith(QString("retry in %1 ms").arg(1000 << i)),
                     qPrintable(waits.join('\n')));

        // F5 on the own page tries again at once; the service answers now.
        answering = true;
        host.reloadView();
        QVERIFY(QTest::qWaitFor(
            [&] { return WebTest::eval(page(), "document.title", 1000).toString() == "back"; },
            15000));
        QCOMPARE(view()->url(), down);
        host.release();
        QVERIFY(QTest::qWaitFor([&] { return view() == nullptr; }, 5000));
        host.messages.clear();
    }

    void startUrl_waitingPageOverRunningPage_thenServicePage_baseHostFromUrl()
    {
        host.release();
        QVERIFY(QTest::qWaitFor([&] { return view() == nullptr; }, 5000));
        QVERIFY(host.show(workUrl().toString()));
        QPointer<QWebEnginePage> own = page();
        QPointer<QWebEngineView> waiting = view()->findChild<QWebEngineView *>();
        // A layout shows its widgets in an already shown window once events run.
        QVERIFY(waiting && QTest::qWaitFor([&] { return waiting->isVisible(); }, 5000));
        QCOMPARE(waiting->geometry().center(), view()->rect().center());
        qint64 askedPid = 0;
        host.onMessage = [&](MessageType type, const QString &) {
            if (type == ReloadView) {
                askedPid = page()->renderProcessPid();
                host.reloadView();
            }
        };
        QVERIFY(QTest::qWaitFor([&] { return host.count(ReloadView) == 1; }, 10000));
        showWorkspace();
        host.onMessage = [this](MessageType type, const QString &) {
            if (type == ReloadView)
                host.reloadView();
        };
        // The workspace loaded into the view's own page, whose renderer ran before it was
        // asked for; the waiting page went and left nothing to go back to.
        QCOMPARE(page(), own.data());
        QVERIFY(askedPid > 0);
        QCOMPARE(page()->renderProcessPid(), askedPid);
        QVERIFY(!page()->history()->canGoBack());
        QVERIFY(QTest::qWaitFor([&] { return waiting.isNull(); }, 5000));
        QCOMPARE(host.plugin()->getLoadUrl(), workUrl());
        auto *bar = host.window()->findChild<QProgressBar *>();
        QVERIFY(bar);
        QCOMPARE(bar->height(), 1);
        QVERIFY(bar->styleSheet().contains("#2881C7"));
        QCOMPARE(bar->value(), 0);
    }

    void loginCookies_goneBeforeTheWorkspaceLoads()
    {
        std::atomic<int> requests{0}, withCookie{0};
        server.server().Get("/session.html", [&](const httplib::Request &req,
                                                 httplib::Response &res) {
            if (req.get_header_value("Cookie").find("login=1") != std::string::npos)
                ++withCookie;
            ++requests;
            res.set_content("<html><body>session</body></html>", "text/html");
        });
        // The login left a cookie, and pages of the default profile send it.
        showWorkspace();
        webProfile()->cookieStore()->setCookie(
            QNetworkCookie("login", "1"), server.url("/"));
        QVERIFY(QTest::qWaitFor(
            [&] {
                view()->load(server.url("/session.html"));
                return WebTest::waitLoaded(view(), server.url("/session.html")) && withCookie > 0;
            },
            10000));
        // A new workspace starts without it.
        host.release();
        QVERIFY(QTest::qWaitFor([&] { return view() == nullptr; }, 5000));
        const int before = requests;
        QVERIFY(host.show(server.url("/session.html").toString()));
        QVERIFY(QTest::qWaitFor([&] { return requests > before; }, 10000));
        QCOMPARE(withCookie.load(), 1);
    }

    void mainPolicy_redirectAwayLogsOut_foreignSitesGoToTheBrowserUnrequested_framesStay()
    {
        showWorkspace();
        view()->load(server.url("/redirect-out"));
        QVERIFY(QTest::qWaitFor([&] { return host.count(OpenLogin) == 1; }, 10000));
        QTest::qWait(300);
        QCOMPARE(host.messages, (QList<PluginHost::Message>{{OpenLogin, QString()}}));

        // A link, a form and a typed address to another site (one that names a chat
        // program too): each goes to the browser, the engine never asks for it, and the
        // service page stays with its bridge.
        showWorkspace();
        landingHits = 0;
        const LogWatch handedOff("^foreign site to the browser: http://localhost:");
        const QUrl landing(QString("http://localhost:%1/landing.html").arg(other.port()));
        const QUrl typed(
            QString("http://localhost:%1/landing.html?chat=tencent").arg(other.port()));
        WebTest::followLink(page(), landing.toString());
        QVERIFY(QTest::qWaitFor([&] { return desktop.urls.size() == 1; }, 10000));
        WebTest::eval(page(), QString("var f = document.createElement('form'); f.method = 'post';"
                                      "f.action = '%1'; document.body.appendChild(f); f.submit();")
                                  .arg(landing.toString()));
        QVERIFY(QTest::qWaitFor([&] { return desktop.urls.size() == 2; }, 10000));
        view()->load(typed);
        QVERIFY(QTest::qWaitFor([&] { return desktop.urls.size() == 3; }, 10000));
        QCOMPARE(desktop.urls, (QList<QUrl>{landing, landing, typed}));
        QCOMPARE(handedOff.count(), 3);
        QTest::qWait(300);
        QCOMPARE(view()->url(), workUrl());
        QCOMPARE(call("curretUser").toString().isEmpty(), false);
        QVERIFY(host.messages.isEmpty());
        QCOMPARE(landingHits.load(), 0);

        // A frame of another site is no navigation of the page: it loads in the frame.
        showWorkspace();
        view()->load(server.url("/frame.html"));
        QVERIFY(WebTest::waitLoaded(view(), server.url("/frame.html")));
        QVERIFY(QTest::qWaitFor([&] { return landingHits == 1; }, 10000));
        QTest::qWait(300);
        QVERIFY(host.messages.isEmpty());
        QVERIFY(desktop.urls.isEmpty());
    }

    void secondaryWindow_acceptedPageIs1100x600_laterForeignSiteGoesToTheBrowser()
    {
        showWorkspace();
        const QSize mainSize = view()->size();
        WebTest::eval(page(), "document.getElementById('tab').click()");
        QMainWindow *frame = nullptr;
        QVERIFY(QTest::qWaitFor([&] { return (frame = secondaryWindow()) != nullptr; }, 10000));
        QCOMPARE(frame->windowTitle(), QStringLiteral("Mervo客户端"));
        QVERIFY(WebTest::waitLoaded(secondaryView(frame), server.url("/sub/page.html")));
        QCOMPARE(frame->size(), QSize(1100, 600));
        QCOMPARE(frame->pos(), QPoint(mainSize.width() / 2 - 550, mainSize.height() / 2 - 300));

        const QUrl landing(QString("http://localhost:%1/landing.html").arg(other.port()));
        WebTest::followLink(secondaryView(frame)->page(), landing.toString());
        QVERIFY(QTest::qWaitFor([&] { return desktop.urls.size() == 1; }, 10000));
        QCOMPARE(desktop.urls.first(), landing);
        QTest::qWait(300);
        QVERIFY(frame->isVisible());
        QCOMPARE(secondaryView(frame)->url(), server.url("/sub/page.html"));
        closeSecondaryWindows();
    }

    void secondaryWindow_pageCallsWindowClose_isTornDown()
    {
        showWorkspace();
        WebTest::eval(page(), "document.getElementById('tab').click()");
        QMainWindow *frame = nullptr;
        QVERIFY(QTest::qWaitFor([&] { return (frame = secondaryWindow()) != nullptr; }, 10000));
        QVERIFY(WebTest::waitLoaded(secondaryView(frame), server.url("/sub/page.html")));
        QPointer<QMainWindow> guard(frame);
        const int enabledBefore = WebTest::eval(page(), "$common.enabled").toInt();
        secondaryView(frame)->page()->runJavaScript("window.close()");
        QVERIFY(QTest::qWaitFor([&] { return guard.isNull(); }, 10000));
        QVERIFY(QTest::qWaitFor(
            [&] { return WebTest::eval(page(), "$common.enabled").toInt() == enabledBefore + 2; },
            5000));
    }

    void secondaryWindow_firstNavigationOutside_goesToDesktop()
    {
        showWorkspace();
        const QUrl landing(QString("http://localhost:%1/landing.html").arg(other.port()));
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^open ulr "));
        WebTest::eval(page(), QString("window.open('%1')").arg(landing.toString()));
        QVERIFY(QTest::qWaitFor([&] { return desktop.urls.size() == 1; }, 10000));
        QCOMPARE(desktop.urls.first(), landing);
        QVERIFY(QTest::qWaitFor([&] { return frames().isEmpty(); }, 5000));
    }

    void secondaryWindow_firstNavigation_localFileRefused_chatLinkHandedOff_framesDeleted()
    {
        showWorkspace();
        standIn.clear();
        // The engine itself keeps web pages from opening local files.
        const LogWatch blocked("Not allowed to load local resource: file:///etc/hosts");
        WebTest::eval(page(), "window.open('file:///etc/hosts')");
        QVERIFY(QTest::qWaitFor([&] { return blocked.count() == 1; }, 10000));
        QTest::qWait(300);
        QVERIFY(frames().isEmpty());
        // A click on a new-tab link of any other scheme reaches the client: refused.
        const LogWatch refused("^desktop hand-off refused: smb://server/share$");
        QTest::mouseClick(view()->focusProxy(), Qt::LeftButton, {}, QPoint(5, 5)); // #smbtab
        QVERIFY(QTest::qWaitFor([&] { return refused.count() == 1; }, 10000));
        QVERIFY(QTest::qWaitFor([&] { return frames().isEmpty(); }, 5000));
        WebTest::eval(page(), "window.open('aliim:chat?uid=9')");
        QVERIFY(QTest::qWaitFor([&] { return desktop.urls.size() == 1; }, 10000));
        QCOMPARE(desktop.urls.first(), QUrl("aliim:chat?uid=9"));
        QVERIFY(QTest::qWaitFor([&] { return frames().isEmpty(); }, 5000));
        QTest::qWait(500);
        QVERIFY(standIn.opened().isEmpty());
    }

    void secondaryWindows_closeTheirOwnWindow_allGoWithTheWorkspace()
    {
        showWorkspace();
        QPointer<QMainWindow> older = openReportWindow();
        QPointer<QMainWindow> newer = openReportWindow();
        QVERIFY(older && newer && older != newer);
        secondaryView(older)->page()->runJavaScript("window.close()");
        QVERIFY(QTest::qWaitFor([&] { return older.isNull(); }, 10000));
        QVERIFY(newer && newer->isVisible());

        QPointer<QMainWindow> third = openReportWindow();
        QVERIFY(third);
        // Log-out: the workspace is released, and its windows and progress bar with it.
        QPointer<QProgressBar> bar = host.window()->findChild<QProgressBar *>();
        QVERIFY(bar);
        host.release();
        QVERIFY(QTest::qWaitFor([&] { return newer.isNull() && third.isNull() && bar.isNull(); },
                                10000));
        QVERIFY(frames().isEmpty());
    }

    void secondaryWindow_downloadLinkStaysInvisibleCarrier_thenGoesAway()
    {
        showWorkspace();
        bool dialogSeen = false;
        const auto dialogWatch = WebTest::onNextModal([&](QWidget *modal) {
            dialogSeen = modal->windowTitle() == QStringLiteral("保存文件");
            modal->close();
        });
        WebTest::eval(
            page(), QString("window.open('%1')").arg(server.url("/files/report.xlsx").toString()));
        QMainWindow *frame = nullptr;
        QVERIFY(QTest::qWaitFor([&] { return (frame = secondaryWindow()) != nullptr; }, 10000));
        QVERIFY(!dialogSeen);
        QTest::qWait(300);
        QCOMPARE(frame->size(), QSize(0, 0));
        QVERIFY(QTest::qWaitFor([&] { return dialogSeen; }, 10000));
        QVERIFY(QTest::qWaitFor([&] { return frames().isEmpty(); }, 5000));
        QVERIFY(desktop.urls.isEmpty());

        // An address of another site that only looks like a download, and is a page: the
        // page goes to the browser, the carrier with it.
        const QUrl disguised(
            QString("http://localhost:%1/landing.html?file=.xlsx").arg(other.port()));
        WebTest::eval(page(), QString("window.open('%1')").arg(disguised.toString()));
        QVERIFY(QTest::qWaitFor([&] { return desktop.urls.size() == 1; }, 10000));
        QCOMPARE(desktop.urls.first(), disguised);
        QVERIFY(QTest::qWaitFor([&] { return frames().isEmpty(); }, 5000));
    }

    void downLoadFileSetting_ownSuffixReplacesDefaults()
    {
        QSettings("config.ini", QSettings::IniFormat).setValue("Sys/DownLoadFile", ".pdfx");
        showWorkspace();
        // .xls is no download entry any more: an outside .xls goes to the desktop.
        const QUrl sheet(QString("http://localhost:%1/old.xls").arg(other.port()));
        WebTest::eval(page(), QString("window.open('%1')").arg(sheet.toString()));
        QVERIFY(QTest::qWaitFor([&] { return desktop.urls.size() == 1; }, 10000));
        QCOMPARE(desktop.urls.first(), sheet);
        // The own suffix is one: the window stays an invisible carrier.
        const QUrl own(QString("http://localhost:%1/manual.pdfx").arg(other.port()));
        WebTest::eval(page(), QString("window.open('%1')").arg(own.toString()));
        QMainWindow *frame = nullptr;
        QVERIFY(QTest::qWaitFor([&] { return (frame = secondaryWindow()) != nullptr; }, 10000));
        QTest::qWait(1000);
        QCOMPARE(frame->size(), QSize(0, 0));
        QCOMPARE(desktop.urls.size(), 1);
        QSettings("config.ini", QSettings::IniFormat).remove("Sys/DownLoadFile");
        closeSecondaryWindows();
    }

    void dialogPopup_loadsInTheMainView()
    {
        showWorkspace();
        WebTest::eval(page(), "window.open('/popup.html', 'pop', 'width=300,height=200')");
        QVERIFY(WebTest::waitLoaded(view(), server.url("/popup.html")));
        QVERIFY(secondaryWindow() == nullptr);
    }

    void scriptAlertAndConfirm_useMessageBox_andMaskThePage()
    {
        showWorkspace();
        const auto alertWatch = WebTest::onNextModal([](QWidget *modal) {
            QCOMPARE(QByteArray(modal->metaObject()->className()), QByteArray("MessageBox"));
            for (QPushButton *b : modal->findChildren<QPushButton *>())
                if (b->text() == QStringLiteral("确认"))
                    QTest::mouseClick(b, Qt::LeftButton);
        });
        page()->runJavaScript("alert('保存成功'); window.alerted = true;");
        QVERIFY(QTest::qWaitFor(
            [&] { return WebTest::eval(page(), "window.alerted === true").toBool(); }, 10000));
        QVERIFY(QTest::qWaitFor(
            [&] { return WebTest::eval(page(), "$common.enabled").toInt() == 1; }, 5000));
        QCOMPARE(WebTest::eval(page(), "$common.disabled").toInt(), 1);

        const auto cancelWatch = WebTest::onNextModal([](QWidget *modal) {
            for (QPushButton *b : modal->findChildren<QPushButton *>())
                if (b->text() == QStringLiteral("取消"))
                    QTest::mouseClick(b, Qt::LeftButton);
        });
        page()->runJavaScript("window.confirmed = confirm('删除?');");
        QVERIFY(QTest::qWaitFor(
            [&] { return WebTest::eval(page(), "window.confirmed === false").toBool(); }, 10000));
        QVERIFY(QTest::qWaitFor(
            [&] { return WebTest::eval(page(), "$common.enabled").toInt() == 2; }, 5000));

        const auto returnWatch =
            WebTest::onNextModal([](QWidget *modal) { QTest::keyClick(modal, Qt::Key_Return); });
        page()->runJavaScript("window.confirmed2 = confirm('确定?');");
        QVERIFY(QTest::qWaitFor(
            [&] { return !WebTest::eval(page(), "window.confirmed2").isNull(); }, 10000));
    }

    void bridge_loginOutSendsOneOpenLogin_userAndDeviceAnswers()
    {
        showWorkspace();
        call("loginOut");
        QCOMPARE(host.messages, (QList<PluginHost::Message>{{OpenLogin, QString()}}));

        LoginRecord::save("P", "Acme", "demo", "", "tok", "1");
        const QJsonObject user =
            QJsonDocument::fromJson(call("curretUser").toString().toUtf8()).object();
        QCOMPARE(user.keys(), (QStringList{"companyName", "productId", "userName"}));
        QCOMPARE(user.value("productId").toString(), QString());

        QFile record(LoginRecord::path());
        QVERIFY(record.open(QIODevice::WriteOnly | QIODevice::Truncate));
        record.write("{\"companyName\": \"Acme\", \"userName\": 0}");
        record.close();
        const QJsonObject partial =
            QJsonDocument::fromJson(call("curretUser").toString().toUtf8()).object();
        QCOMPARE(partial.keys(), (QStringList{"companyName", "productId"}));
        QVERIFY(QFile::exists(LoginRecord::path()));

        QCOMPARE(call("wi").toString(), DeviceIdentity::deviceId());
        QCOMPARE(QJsonDocument::fromJson(call("deviceInfo").toString().toUtf8()).object().keys(),
                 QStringList{"computerName"});

        host.messages.clear();
        call("reload");
        QCOMPARE(host.messages, (QList<PluginHost::Message>{{ReloadView, QString()}}));
    }

    void foreignSite_sentByScript_neverRequested_aRedirectAwayOnQt5_theBrowserOnQt6()
    {
        showWorkspace();
        landingHits = 0;
        const QUrl landing(QString("http://localhost:%1/landing.html").arg(other.port()));
        // Qt 5's engine reports a script's navigation as a redirect (away from the service:
        // a log-out), Qt 6's as the page's own (another site: the user's browser).
        const bool asRedirect = QT_VERSION_MAJOR == 5;
        WebTest::eval(page(), QString("location.href = '%1'").arg(landing.toString()));
        QVERIFY(QTest::qWaitFor(
            [&] { return asRedirect ? host.count(OpenLogin) == 1 : desktop.urls.size() == 1; },
            10000));
        QTest::qWait(300);
        QCOMPARE(landingHits.load(), 0);
        QCOMPARE(host.count(OpenLogin), asRedirect ? 1 : 0);
        QCOMPARE(desktop.urls, asRedirect ? QList<QUrl>() : QList<QUrl>{landing});
    }

    void pageScript_unknownSchemesGoNowhere_chatLinksReachTheDesktop()
    {
        showWorkspace();
        standIn.clear();
        for (const char *target : {"x-custom:run", "smb://server/share", "ms-settings:display"})
            WebTest::eval(page(), QString("location.href = '%1'").arg(target));
        WebTest::eval(page(), "location.href = 'tencent://message/?uin=7&env=1'");
        QVERIFY(QTest::qWaitFor([&] { return desktop.urls.size() == 1; }, 10000));
        QCOMPARE(desktop.urls.first(), QUrl("tencent://message/?uin=7&env=1"));
        WebTest::eval(page(), "document.getElementById('tencent').click()");
        QVERIFY(QTest::qWaitFor([&] { return desktop.urls.size() == 2; }, 10000));
        QTest::qWait(500);
        QVERIFY(standIn.opened().isEmpty());
        QCOMPARE(view()->url(), workUrl());
    }

    void aliimLinkInCapitals_reachesTheDesktop()
    {
        showWorkspace();
        WebTest::eval(page(), "document.getElementById('aliim').click()");
        QVERIFY(QTest::qWaitFor([&] { return !desktop.urls.isEmpty(); }, 10000));
        QCOMPARE(desktop.urls.first().scheme(), QStringLiteral("aliim"));
        QCOMPARE(view()->url(), workUrl());
    }

    void protocolCall_mainPageIntercepted_secondaryPageNot()
    {
        showWorkspace();
        WebTest::eval(page(), "fetch('/tp/wpaCall/getProtocol?id=1')");
        QVERIFY(QTest::qWaitFor([&] { return !desktop.urls.isEmpty(); }, 10000));
        QCOMPARE(desktop.urls.first().toString(), QStringLiteral("tencent://message/?uin=1&env=2"));

        desktop.urls.clear();
        WebTest::eval(page(), "document.getElementById('tab').click()");
        QMainWindow *frame = nullptr;
        QVERIFY(QTest::qWaitFor([&] { return (frame = secondaryWindow()) != nullptr; }, 10000));
        QVERIFY(WebTest::waitLoaded(secondaryView(frame), server.url("/sub/page.html")));
        WebTest::eval(
            secondaryView(frame)->page(),
            QString("fetch('%1')").arg(server.url("/tp/wpaCall/getProtocol?id=2").toString()));
        QTest::qWait(1500);
        QVERIFY(desktop.urls.isEmpty());
        closeSecondaryWindows();
    }

    void permissions_serviceHostGetsMicrophone_otherOriginFrameDenied()
    {
        showWorkspace();
        view()->load(server.url("/mic.html"));
        QVERIFY(WebTest::waitLoaded(view(), server.url("/mic.html")));
        QVERIFY(QTest::qWaitFor(
            [&] { return !WebTest::eval(page(), "window.pageResult").isNull(); }, 10000));
        QVERIFY(QTest::qWaitFor(
            [&] { return !WebTest::eval(page(), "window.frameResult").isNull(); }, 10000));
        QCOMPARE(WebTest::eval(page(), "window.pageResult").toString(), QStringLiteral("granted"));
        QCOMPARE(WebTest::eval(page(), "window.frameResult").toString(),
                 QStringLiteral("NotAllowedError"));
    }

    void reportWindow_windowPrint_printDialog_printToPdfWritesThePage()
    {
        showWorkspace();
        QMainWindow *frame = openReportWindow();
        QVERIFY(frame);
        const QString pdf = folder.filePath("report.pdf");
        QString printTitle;
        const auto printWatch = WebTest::onModal(
            [](QWidget *modal) { return modal->findChild<QPushButton *>("printToPdf"); },
            [&](QWidget *modal) {
                printTitle = modal->windowTitle();
                modal->findChild<QPushButton *>("printToPdf")->click();
            });
        const auto fileWatch =
            WebTest::onModal([](QWidget *modal) { return qobject_cast<QFileDialog *>(modal); },
                             [&](QWidget *modal) {
                                 auto *edit = modal->findChild<QLineEdit *>("fileNameEdit");
                                 edit->setText(folder.filePath("report"));
                                 QTest::keyClick(edit, Qt::Key_Return);
                             });
        secondaryView(frame)->page()->runJavaScript(
            "setTimeout(function () { window.print(); }, 0)");
        QVERIFY(QTest::qWaitFor([&] { return QFileInfo(pdf).size() > 0; }, 20000));
        QCOMPARE(printTitle, QStringLiteral("打印"));
        QProcess text;
        text.start("pdftotext", {pdf, "-"});
        QVERIFY(text.waitForFinished(20000));
        QVERIFY(text.readAllStandardOutput().contains("secondary"));
    }

    void notifications_servicePageShownByPresenter()
    {
        QStringList shown;
        webProfile()->setNotificationPresenter(
            [&shown](std::unique_ptr<QWebEngineNotification> n) { shown << n->title(); });
        const QString notify =
            "window.permission = null; Notification.requestPermission().then(function (p) {"
            "  window.permission = p; if (p === 'granted') new Notification('%1', {body: 'b'});"
            "}); 1";
        showWorkspace();
        WebTest::eval(page(), notify.arg("账单到期"));
        QVERIFY(QTest::qWaitFor([&] { return shown.size() == 1; }, 10000));
        QCOMPARE(shown, QStringList{"账单到期"});

        webProfile()->setNotificationPresenter({});
    }

    void zoom_ctrlPlusAndWheelStepAndAreKept_newLoginViewStartsThere()
    {
        showWorkspace();
        QApplication::setActiveWindow(view()->window());
        QWidget *target = view()->focusProxy() ? view()->focusProxy() : view();
        target->setFocus();
        QTest::keyClick(target, Qt::Key_Plus, Qt::ControlModifier);
        QVERIFY(QTest::qWaitFor([&] { return qFuzzyCompare(view()->zoomFactor(), 1.1); }, 5000));
        QWheelEvent wheel(QPointF(10, 10), target->mapToGlobal(QPoint(10, 10)), QPoint(),
                          QPoint(0, 120), Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase,
                          false);
        QApplication::sendEvent(target, &wheel);
        QVERIFY(qFuzzyCompare(view()->zoomFactor(), 1.25));
        QCOMPARE(QSettings("config.ini", QSettings::IniFormat).value("Sys/Zoom").toString(),
                 QStringLiteral("1.25"));

        PluginHost login{SIGNIN_PLUGIN};
        QVERIFY2(login.load(), qPrintable(login.errorString()));
        QVERIFY(login.show());
        QVERIFY(QTest::qWaitFor(
            [&] { return qFuzzyCompare(login.plugin()->getWeb()->zoomFactor(), 1.25); }, 5000));
        login.release();

        QTest::keyClick(target, Qt::Key_0, Qt::ControlModifier);
        QVERIFY(qFuzzyCompare(view()->zoomFactor(), 1.0));
    }

    void renderProcessCrashes_reloadEachTime_stopAtTheThirdWithinAMinute()
    {
        // Lost with the view's empty page under the waiting page, as one renderer shared by
        // all pages would be: the waiting page comes back and asks again, the wait goes on.
        host.release();
        QVERIFY(QTest::qWaitFor([&] { return view() == nullptr; }, 5000));
        const auto answer = host.onMessage;
        host.onMessage = nullptr;
        host.messages.clear();
        QVERIFY(host.show(workUrl().toString()));
        QPointer<QWebEngineView> waiting = view()->findChild<QWebEngineView *>();
        QVERIFY(QTest::qWaitFor(
            [&] { return page()->renderProcessPid() > 0 && host.count(ReloadView) == 1; }, 10000));
        QVERIFY(ProcessKill::now(page()->renderProcessPid()));
        QVERIFY(ProcessKill::now(waiting->page()->renderProcessPid()));
        QVERIFY(QTest::qWaitFor([&] { return host.count(ReloadView) == 2; }, 10000));
        QVERIFY(waiting);
        host.onMessage = answer;
        host.reloadView();
        showWorkspace();

        for (int crash = 1; crash <= 3; ++crash) {
            const qint64 pid = page()->renderProcessPid();
            QVERIFY(pid > 0);
            if (crash == 3)
                QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^page keeps crashing"));
            // Loads are counted: a script run on a page whose renderer is gone starts a new
            // renderer, but loads nothing.
            QSignalSpy loads(view(), &QWebEngineView::loadFinished);
            QVERIFY(ProcessKill::now(pid));
            if (crash < 3) {
                QVERIFY(QTest::qWaitFor([&] { return !loads.isEmpty(); }, 10000));
                QVERIFY(WebTest::waitLoaded(view(), workUrl()));
            } else {
                QTest::qWait(1500);
                QCOMPARE(loads.count(), 0);
            }
        }
        // F5 (the host's reload) still brings the page back.
        host.reloadView();
        QVERIFY(WebTest::waitLoaded(view(), workUrl()));
    }
};

MERVO_WEB_TEST_MAIN(TestLedgerPlugin)
#include "tst_ledgerplugin.moc"
