// The built signin_pl library in a recording host, against pages served on 127.0.0.1
// that use the bridge through the real qwebchannel.js.
#include "desktopstandin.h"
#include "deviceidentity.h"
#include "loginrecord.h"
#include "logwatch.h"
#include "pluginhost.h"
#include "processkill.h"
#include "testhttpserver.h"
#include "urlrecorder.h"
#include "webtesthelpers.h"
#include "webtestmain.h"

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QSettings>
#include <QTemporaryDir>
#include <QWebEngineHistory>

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <thread>

class TestSigninPlugin : public QObject
{
    Q_OBJECT

private:
    DesktopStandIn standIn; // first: every address the desktop gets is recorded
    QTemporaryDir folder;
    TestHttpServer server;
    TestHttpServer other;
    PluginHost host{SIGNIN_PLUGIN};
    UrlRecorder desktop{{"http", "https", "tencent"}};
    std::atomic<bool> releaseStall{false};
    std::atomic<int> foreignHits{0}; // requests of the other site's page
    QByteArray loginPageHtml;

    QWebEngineView *view() const { return host.plugin()->getWeb(); }
    QWebEnginePage *page() const { return view()->page(); }
    QString loginUrl() const { return server.url("/login.html").toString() + "?source=x"; }

    // Calls a slot from the page, as the service's page does, and returns its answer.
    QVariant call(const QString &name, const QString &jsonArgs = "[]")
    {
        WebTest::eval(page(), QString("window.call('%1', %2)").arg(name, jsonArgs));
        QVariant answer;
        if (!QTest::qWaitFor(
                [&] {
                    answer =
                        WebTest::eval(page(), "window.answer === undefined ? null : window.answer");
                    return answer.isValid() && !answer.isNull();
                },
                10000))
            return QVariant();
        return answer;
    }

    void backToLoginPage()
    {
        if (!host.plugin()->getWeb())
            QVERIFY(host.show());
        if (view()->url().toString() != loginUrl())
            view()->load(QUrl(loginUrl()));
        QVERIFY(WebTest::waitLoaded(view(), QUrl(loginUrl())));
        QVERIFY(QTest::qWaitFor(
            [&] { return WebTest::eval(page(), "window.bridgeReady === true").toBool(); }, 10000));
        host.messages.clear();
        desktop.urls.clear();
    }

    static QWidget *openSubWindow()
    {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (QByteArray(w->metaObject()->className()) == "BaseDialog" && w->isVisible())
                return w;
        return nullptr;
    }

private slots:
    void initTestCase()
    {
        QDir::setCurrent(folder.path());
        qputenv("XDG_DATA_HOME", folder.filePath("data").toUtf8());
        QFile jsFile(QWEBCHANNEL_JS);
        QVERIFY(jsFile.open(QIODevice::ReadOnly));
        const QByteArray js = jsFile.readAll();
        server.servePage("/qwebchannel.js", js, "application/javascript");
        QFile loginFile(QFINDTESTDATA("data/login.html"));
        QVERIFY(loginFile.open(QIODevice::ReadOnly));
        const QByteArray loginPage = loginFile.readAll();
        loginPageHtml = loginPage;
        server.servePage("/login.html", loginPage);
        server.servePage("/reg/step1.html", "<html><body>step one</body></html>");
        server.servePage("/popup.html", "<html><body>popup</body></html>");
        server.servePage("/tp/wpaCall/getProtocol",
                         R"({"code":0,"url":"tencent:\/\/message\/?uin=1&env=2"})",
                         "application/json");
        server.server().Get("/hostile/tp/wpaCall/getProtocol", [](const httplib::Request &,
                                                                  httplib::Response &res) {
            res.set_content("{\"url\":\"tencent:\\/\\/x\\\";window.pwned=1;\\\"env=3\"}",
                            "application/json");
        });
        server.server().Get("/stall/tp/wpaCall/getProtocol", [this](const httplib::Request &,
                                                                    httplib::Response &res) {
            for (int i = 0; i < 400 && !releaseStall; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            res.set_content(R"({"url":"tencent:\/\/late?env=9"})", "application/json");
        });
        // HTTP basic authentication: user "demo", password "s3cret".
        server.server().Get("/secret", [](const httplib::Request &req, httplib::Response &res) {
            if (req.get_header_value("Authorization") == "Basic ZGVtbzpzM2NyZXQ=") {
                res.set_content("<title>secret</title>inside", "text/html");
                return;
            }
            res.status = 401;
            res.set_header("WWW-Authenticate", "Basic realm=\"mervo\"");
            res.set_content("<title>refused</title>not signed in", "text/html");
        });
        QVERIFY(server.start());
        other.servePage("/qwebchannel.js", js, "application/javascript");
        other.server().Get("/foreign.html", [this, loginPage](const httplib::Request &,
                                                              httplib::Response &res) {
            ++foreignHits;
            res.set_content(loginPage.toStdString(), "text/html");
        });
        QVERIFY(other.start());
        {
            QSettings s("config.ini", QSettings::IniFormat);
            s.setValue("Sys/LoginUrl", server.url("/login.html").toString());
            s.setValue("Sys/Source", "x");
        }
        QVERIFY2(host.load(), qPrintable(host.errorString()));
    }

    void cleanupTestCase() { releaseStall = true; }

    void identity_andLifecycle()
    {
        PluginInterface *p = host.plugin();
        QCOMPARE(p->id(), QStringLiteral("com.interface.model.login"));
        QCOMPARE(p->type(), LoginModule);
        QCOMPARE(p->name(), QStringLiteral("登录模块"));
        QCOMPARE(p->description(), QStringLiteral("实现全客户端快捷登录"));
        QVERIFY(p->getWeb() == nullptr);
        QVERIFY(p->getAction() == nullptr);
        QVERIFY(host.registrations.isEmpty());
        p->castMessage(OpenWorkspace, "ignored");
        QVERIFY(host.messages.isEmpty());
    }

    // The view showing the waiting page over the login view, or null.
    QWebEngineView *waitingView() const { return view()->findChild<QWebEngineView *>(); }

    void waitingPage_asksForReloadOnce_loginPageLoadsInAPageWhoseRendererRunsAlready()
    {
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^login url: "));
        QVERIFY(host.show());
        QCOMPARE(host.plugin()->getLoadUrl(), QUrl(loginUrl()));
        QPointer<QWebEnginePage> own = page();
        QVERIFY(waitingView());
        QPointer<QWebEnginePage> waiting = waitingView()->page();
        qint64 askedPid = 0;
        qint64 waitingPid = 0;
        bool waitingShown = false;
        host.onMessage = [&](MessageType type, const QString &) {
            if (type != ReloadView)
                return;
            askedPid = page()->renderProcessPid();
            waitingPid = waiting ? waiting->renderProcessPid() : -1;
            // Over the middle of the view, in front of the page the login page loads in.
            waitingShown = waitingView() && waitingView()->isVisible()
                && waitingView()->geometry().center() == view()->rect().center()
                && view()->childAt(view()->rect().center()) != nullptr
                && waitingView()->isAncestorOf(view()->childAt(view()->rect().center()));
            host.reloadView();
        };
        QVERIFY(QTest::qWaitFor([&] { return host.count(ReloadView) == 1; }, 10000));
        QCOMPARE(waiting->url(), QUrl("qrc:/load.html"));
        host.onMessage = [this](MessageType type, const QString &) {
            if (type == ReloadView)
                host.reloadView();
        };
        QVERIFY(WebTest::waitLoaded(view(), QUrl(loginUrl())));
        QTest::qWait(500);
        QCOMPARE(host.messages, (QList<PluginHost::Message>{{ReloadView, QString()}}));
        QVERIFY(waitingShown);
        // The web address never entered the waiting page's renderer, and did not wait for
        // a renderer to start or a page to be put in the view.
        QCOMPARE(page(), own.data());
        QVERIFY(askedPid > 0);
        QVERIFY(waitingPid > 0 && waitingPid != askedPid);
        QCOMPARE(page()->renderProcessPid(), askedPid);
        // Nothing before the login page to go back to: a blank page there would strand the user.
        QVERIFY(!page()->history()->canGoBack());
        QVERIFY(QTest::qWaitFor([&] { return waiting.isNull() && !waitingView(); }, 5000));
    }

    void loginUrlLoadedBeforeTheWaitingPageAsks_endsTheWait_withItsBridge()
    {
        host.release();
        QVERIFY(host.show());
        QVERIFY(waitingView());
        view()->load(QUrl(loginUrl())); // F5 while the waiting page is shown
        QVERIFY(WebTest::waitLoaded(view(), QUrl(loginUrl())));
        QVERIFY(QTest::qWaitFor([&] { return !waitingView(); }, 5000));
        QVERIFY(QTest::qWaitFor(
            [&] { return WebTest::eval(page(), "window.bridgeReady === true").toBool(); }, 10000));
        QCOMPARE(call("wi").toString(), DeviceIdentity::deviceId());
    }

    // All pages may share one renderer; whichever page it takes down comes back: the waiting
    // page, which then asks again, and the login page, which reloads.
    void rendererLost_whileWaitingAndOnTheLoginPage_pagesComeBack()
    {
        host.release();
        host.messages.clear();
        QVERIFY(host.show());
        QPointer<QWebEnginePage> waiting = waitingView()->page();
        qint64 waitingPid = 0;
        // Killed as soon as it stands, well before it asks.
        const QMetaObject::Connection kill =
            connect(waiting, &QWebEnginePage::loadFinished, waiting, [&] {
                if (!waitingPid && (waitingPid = waiting->renderProcessPid()) > 0)
                    ProcessKill::now(waitingPid);
            });
        const bool loaded = WebTest::waitLoaded(view(), QUrl(loginUrl()));
        disconnect(kill);
        QVERIFY(loaded);
        QVERIFY(waitingPid > 0);

        const qint64 loginPid = page()->renderProcessPid();
        QVERIFY(ProcessKill::now(loginPid));
        QVERIFY(QTest::qWaitFor(
            [&] { return page()->renderProcessPid() > 0 && page()->renderProcessPid() != loginPid; },
            10000));
        QVERIFY(WebTest::waitLoaded(view(), QUrl(loginUrl())));
        QVERIFY(QTest::qWaitFor(
            [&] { return WebTest::eval(page(), "window.bridgeReady === true").toBool(); }, 10000));
    }

    void logined_thenQuicklogin_storeRecord_andSendMessagesInOrder()
    {
        backToLoginPage();
        call("logined", R"(["null|Acme", "demo", "42", "tok-1", "ignored", "1234"])");
        QCOMPARE(host.messages,
                 (QList<PluginHost::Message>{{SetTrayToolTip, "Mervo客户端|-Acme|-demo"}}));
        QFile record(LoginRecord::path());
        QVERIFY(record.open(QIODevice::ReadOnly));
        const QJsonObject stored = QJsonDocument::fromJson(record.readAll()).object();
        QCOMPARE(stored.value("productName").toString(), QStringLiteral("Mervo客户端"));
        QCOMPARE(stored.value("companyName").toString(), QStringLiteral("Acme"));
        QCOMPARE(stored.value("quickLoginCode").toString(), LoginRecord::md5Hex("1234"));

        // quicklogin after logined only: the product name is known, the names are not.
        host.messages.clear();
        call("quicklogin", "[\"http://127.0.0.1/work\"]");
        QCOMPARE(host.messages,
                 (QList<PluginHost::Message>{{OpenWorkspace, "http://127.0.0.1/work"},
                                             {SetWindowTitle, "Mervo客户端"}}));
    }

    void quickLoginOnLaterStart_curretUserThenGetTokenThenQuicklogin()
    {
        LoginRecord::save("产品X", "Acme", "demo", "42", "tok-9", "5678");
        host.release();
        QVERIFY(host.show());
        QVERIFY(QTest::qWaitFor([&] { return host.count(ReloadView) >= 1; }, 10000));
        backToLoginPage();

        const QJsonObject user =
            QJsonDocument::fromJson(call("curretUser").toString().toUtf8()).object();
        QCOMPARE(user.keys(), (QStringList{"companyName", "productId", "userName"}));
        QCOMPARE(user.value("userName").toString(), QStringLiteral("demo"));

        QVERIFY(call("getToken", R"(["0000"])").toString().isEmpty());
        const QJsonObject withToken =
            QJsonDocument::fromJson(call("getToken", R"(["5678"])").toString().toUtf8()).object();
        QCOMPARE(withToken.value("token").toString(), QStringLiteral("tok-9"));

        call("quicklogin", "[\"http://127.0.0.1/work2\"]");
        QCOMPARE(host.messages,
                 (QList<PluginHost::Message>{{OpenWorkspace, "http://127.0.0.1/work2"},
                                             {SetWindowTitle, "产品X"},
                                             {SetTrayToolTip, "Mervo客户端|-Acme|-demo"}}));
    }

    void identitySlots_answerFromTheSameSources()
    {
        backToLoginPage();
        QCOMPARE(call("wi").toString(), DeviceIdentity::deviceId());
        QCOMPARE(call("deviceInfo").toString(), DeviceIdentity::computerInfo());
        call("loginOut");
        QVERIFY(!QFile::exists(LoginRecord::path()));
        QVERIFY(host.messages.isEmpty());
    }

    void sendMsg_onlyIntegralActionTypeOneWithText_setsTitle()
    {
        backToLoginPage();
        call("sendMsg", R"([{"actionType": "1", "data": "a"}])");
        call("sendMsg", R"([{"actionType": 1.5, "data": "b"}])");
        call("sendMsg", R"([{"actionType": 1, "data": ""}])");
        call("sendMsg", R"([{"data": "c"}])");
        call("sendMsg", R"([{"actionType": 2, "data": "d"}])");
        QVERIFY(host.messages.isEmpty());
        call("sendMsg", R"([{"actionType": 1, "data": "标题"}])");
        QCOMPARE(host.messages, (QList<PluginHost::Message>{{SetWindowTitle, "标题"}}));
    }

    void herfClick_opensServerPathsAndWebAddresses_nothingElse()
    {
        backToLoginPage();
        standIn.clear();
        call("herfClick", R"(["nothing-here"])");
        call("herfClick", R"(["/help/faq.html?a=1"])");
        call("herfClick", "[\"https://example.org/x/y\"]");
        // A path on the login server stays there, even one that looks like another host.
        call("herfClick", "[\"//other.example/x\"]"); // (no raw string: moc reads // as a comment)
        for (const char *refused :
             {"file:///etc/passwd", "smb://server/share", "x-custom://run/now"})
            call("herfClick", QString("[\"%1\"]").arg(refused));
        QCOMPARE(
            desktop.urls,
            (QList<QUrl>{server.url("/help/faq.html?a=1"), QUrl("https://example.org/x/y"),
                         QUrl(QString("http://%1//other.example/x").arg(server.authority()))}));
        QTest::qWait(500);
        QVERIFY(standIn.opened().isEmpty());
    }

    void foreignSite_linkGoesToTheBrowserUnrequested_aForeignPageGetsNoBridgeAnswers()
    {
        LoginRecord::save("产品", "Acme", "demo", "42", "tok-f", "1111");
        QFile record(LoginRecord::path());
        QVERIFY(record.open(QIODevice::ReadOnly));
        const QByteArray before = record.readAll();
        record.close();

        backToLoginPage();
        standIn.clear();
        foreignHits = 0;
        const QUrl foreign = other.url("/foreign.html");
        const LogWatch handedOff("^foreign site to the browser: " +
                                 QRegularExpression::escape(foreign.toString()) + "$");
        WebTest::followLink(page(), foreign.toString());
        QVERIFY(QTest::qWaitFor([&] { return desktop.urls.size() == 1; }, 10000));
        QCOMPARE(desktop.urls.first(), foreign);
        QCOMPARE(handedOff.count(), 1);
        QTest::qWait(300);
        QCOMPARE(view()->url(), QUrl(loginUrl()));
        QCOMPARE(foreignHits.load(), 0);
        desktop.urls.clear();

        // Should a page of another site ever stand in the view, the bridge still refuses it.
        page()->setHtml(QString::fromUtf8(loginPageHtml), foreign);
        QVERIFY(WebTest::waitLoaded(view(), foreign));
        QVERIFY(QTest::qWaitFor(
            [&] { return WebTest::eval(page(), "window.bridgeReady === true").toBool(); }, 10000));
        const LogWatch refused("^bridge call refused: http://" +
                               QRegularExpression::escape(other.authority()) + " ");
        const QStringList calls{R"(logined ["P|Evil", "mallory", "1", "t", "", "0000"])",
                                "loginOut []",
                                "quicklogin [\"http://evil.example/work\"]",
                                "herfClick [\"https://evil.example/x\"]",
                                R"(getToken ["1111"])",
                                "curretUser []",
                                "wi []",
                                "deviceInfo []",
                                R"(sendMsg [{"actionType": 1, "data": "evil"}])",
                                "reload []"};
        for (const QString &c : calls) {
            const QString answer = call(c.section(' ', 0, 0), c.section(' ', 1)).toString();
            QVERIFY2(answer.isEmpty() || answer == "<none>", qPrintable(c + " answered " + answer));
        }
        QCOMPARE(refused.count(), calls.size());
        QVERIFY(host.messages.isEmpty());
        QVERIFY(record.open(QIODevice::ReadOnly));
        QCOMPARE(record.readAll(), before);
        QTest::qWait(300);
        QVERIFY(desktop.urls.isEmpty());
        QVERIFY(standIn.opened().isEmpty());
    }

    void registrationTab_opensTitledSubWindow_mainHtmlOpensWorkspace()
    {
        backToLoginPage();
        WebTest::eval(page(), "document.getElementById('register').click()");
        QWidget *frame = nullptr;
        QVERIFY(QTest::qWaitFor([&] { return (frame = openSubWindow()) != nullptr; }, 10000));
        QCOMPARE(frame->windowTitle(), QStringLiteral("Mervo客户端"));
        QVERIFY(frame->isMaximized());
        auto *subView =
            qobject_cast<QWebEngineView *>(static_cast<QMainWindow *>(frame)->centralWidget());
        QVERIFY(subView);
        QVERIFY(WebTest::waitLoaded(subView, server.url("/reg/step1.html")));

        // Another site goes to the browser, so no page of it can end the registration.
        subView->page()->runJavaScript(
            QString("location.href = '%1'").arg(other.url("/bounce").toString()));
        QVERIFY(QTest::qWaitFor([&] { return desktop.urls.size() == 1; }, 10000));
        QCOMPARE(desktop.urls.first(), other.url("/bounce"));
        QTest::qWait(300);
        QCOMPARE(host.count(OpenWorkspace), 0);
        QVERIFY(openSubWindow() == frame);
        QCOMPARE(subView->url(), server.url("/reg/step1.html"));

        subView->page()->runJavaScript(
            QString("location.href = '%1'")
                .arg(server.url("/reg/main.html?company=Acme").toString()));
        QVERIFY(QTest::qWaitFor([&] { return host.count(OpenWorkspace) == 1; }, 10000));
        QCOMPARE(host.texts(OpenWorkspace).first(),
                 server.url("/reg/main.html?company=Acme").toString());
        QVERIFY(QTest::qWaitFor([&] { return openSubWindow() == nullptr; }, 5000));
    }

    void forgottenPassword_goesToTheDesktop_loginStays()
    {
        backToLoginPage();
        WebTest::eval(page(), "document.getElementById('forget').click()");
        QVERIFY(QTest::qWaitFor([&] { return desktop.urls.size() == 1; }, 10000));
        QCOMPARE(desktop.urls.first(), server.url("/account/forgetpassword?u=1"));
        QVERIFY(QTest::qWaitFor([&] { return openSubWindow() == nullptr; }, 5000));
        QCOMPARE(view()->url(), QUrl(loginUrl()));
        QVERIFY(host.messages.isEmpty());
    }

    void dialogWindow_loadsInTheLoginViewItself()
    {
        backToLoginPage();
        WebTest::eval(page(), "window.open('/popup.html', 'pop', 'width=300,height=200')");
        QVERIFY(WebTest::waitLoaded(view(), server.url("/popup.html")));
        QVERIFY(openSubWindow() == nullptr);
    }

    void protocolAnswer_sendsPageToTencentLink()
    {
        backToLoginPage();
        WebTest::eval(page(), "fetch('/tp/wpaCall/getProtocol?id=1')");
        QVERIFY(QTest::qWaitFor([&] { return !desktop.urls.isEmpty(); }, 10000));
        QCOMPARE(desktop.urls.first().toString(), QStringLiteral("tencent://message/?uin=1&env=2"));
    }

    void hostileProtocolAnswer_runsNoForeignScript_opensNothing()
    {
        backToLoginPage();
        const LogWatch refused("^desktop hand-off refused: \\(malformed address\\)");
        WebTest::eval(page(), "fetch('/hostile/tp/wpaCall/getProtocol?id=1')");
        QVERIFY(QTest::qWaitFor([&] { return refused.count() == 1; }, 10000));
        QVERIFY(desktop.urls.isEmpty());
        QCOMPARE(WebTest::eval(page(), "typeof window.pwned").toString(),
                 QStringLiteral("undefined"));
    }

    void logOutDuringStalledProtocolCall_endsTheFetch_andTheRegistrationWindow()
    {
        backToLoginPage();
        WebTest::eval(page(), "document.getElementById('register').click()");
        QPointer<QWidget> registration;
        QVERIFY(
            QTest::qWaitFor([&] { return (registration = openSubWindow()) != nullptr; }, 10000));
        const LogWatch abandoned("^request protobufHttp abandoned");
        releaseStall = false;
        const LogWatch intercepted("^OpenSSL");
        WebTest::eval(page(), "fetch('/stall/tp/wpaCall/getProtocol?id=2')");
        QVERIFY(QTest::qWaitFor([&] { return intercepted.count() == 1; }, 10000));
        // The page bridge switches to the workspace: the host releases this module.
        host.release();
        QVERIFY(QTest::qWaitFor([&] { return abandoned.count() == 1; }, 5000));
        QVERIFY(QTest::qWaitFor([&] { return registration.isNull(); }, 5000));
        releaseStall = true;
        QTest::qWait(500);
        QVERIFY(desktop.urls.isEmpty());
        QVERIFY(host.show());
        backToLoginPage();
    }

    void pageAskingForPassword_promptCancelKeepsAnswer_rightPasswordShowsPage()
    {
        backToLoginPage();
        QString title, hostText;
        const auto cancel = WebTest::onModal(
            [](QWidget *modal) { return modal->findChild<QLineEdit *>("password"); },
            [&](QWidget *modal) {
                title = modal->windowTitle();
                hostText = modal->findChild<QLabel *>("host")->text();
                static_cast<QDialog *>(modal)->reject();
            });
        view()->load(server.url("/secret"));
        QVERIFY(QTest::qWaitFor(
            [&] { return WebTest::eval(page(), "document.title", 1000) == "refused"; }, 15000));
        QCOMPARE(title, QStringLiteral("需要身份验证"));
        QVERIFY(hostText.contains("127.0.0.1"));

        const auto fill = WebTest::onModal(
            [](QWidget *modal) { return modal->findChild<QLineEdit *>("password"); },
            [](QWidget *modal) {
                modal->findChild<QLineEdit *>("user")->setText("demo");
                modal->findChild<QLineEdit *>("password")->setText("s3cret");
                static_cast<QDialog *>(modal)->accept();
            });
        view()->load(server.url("/secret?again"));
        QVERIFY(QTest::qWaitFor(
            [&] { return WebTest::eval(page(), "document.title", 1000) == "secret"; }, 15000));
    }

    void stalledProtocolAnswer_isAbandonedAfterTheBound()
    {
        releaseStall = false;
        backToLoginPage();
        const LogWatch gaveUp("^request protobufHttp gave up after 10000 ms");
        QElapsedTimer clock;
        clock.start();
        WebTest::eval(page(), "fetch('/stall/tp/wpaCall/getProtocol?id=1'); window.after = 1");
        QVERIFY(QTest::qWaitFor([&] { return gaveUp.count() == 1; }, 30000));
        QVERIFY(clock.elapsed() >= 10000);
        // The late answer reaches nobody.
        releaseStall = true;
        QTest::qWait(500);
        QVERIFY(desktop.urls.isEmpty());
        QCOMPARE(WebTest::eval(page(), "1 + 1").toInt(), 2);
    }

    // An installation without a login address explains itself; F5 reads config.ini again.
    void noLoginAddress_showsSetupPage_f5ReadsTheFileAgain()
    {
        host.release();
        QSettings settings("config.ini", QSettings::IniFormat);
        settings.remove("Sys/LoginUrl");
        settings.sync();
        const LogWatch told("^login url: installation incomplete, no usable address in .*config"
                            "\\.ini key Sys/LoginUrl");
        QVERIFY(host.show());
        QVERIFY(WebTest::waitLoaded(view(), QUrl("qrc:/setup-incomplete.html")));
        const QString text = WebTest::eval(page(), "document.body.innerText").toString();
        QVERIFY2(text.contains("安装不完整") && text.contains("config.ini") &&
                     text.contains("LoginUrl") && text.contains("重新安装"),
                 qPrintable(text));
        QCOMPARE(told.count(), 1);

        host.messages.clear();
        host.reloadView(); // F5, the file still without the key
        QVERIFY(QTest::qWaitFor([&] { return told.count() == 2; }, 5000));
        settings.setValue("Sys/LoginUrl", server.url("/login.html").toString());
        settings.sync();
        host.reloadView(); // F5 after the repair: the module starts afresh
        QVERIFY(QTest::qWaitFor([&] { return host.count(OpenLogin) == 1; }, 5000));
        host.release();
        QVERIFY(host.show());
        QVERIFY(WebTest::waitLoaded(view(), QUrl(loginUrl())));
        QCOMPARE(told.count(), 2);
    }
};

MERVO_WEB_TEST_MAIN(TestSigninPlugin)
#include "tst_signinplugin.moc"
