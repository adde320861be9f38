#include "protocolfetch.h"
#include "testhttpserver.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <thread>

class TestProtocolFetch : public QObject
{
    Q_OBJECT

private:
    // The answer of one fetch, waited for; "<none>" when done never ran.
    static QByteArray fetchNow(const QString &address, int timeoutMs = 10000)
    {
        QObject context;
        QByteArray body = "<none>";
        bool done = false;
        ProtocolFetch::fetch(
            address, &context,
            [&](const QByteArray &b) {
                body = b;
                done = true;
            },
            timeoutMs);
        (void)QTest::qWaitFor([&] { return done; }, timeoutMs + 5000);
        return body;
    }

private slots:
    void launchLink_unescapesSlashes_spansFirstToLastEnv()
    {
        QCOMPARE(ProtocolFetch::launchLink(
                     R"({"code":0,"data":{"url":"tencent:\/\/message\/?uin=1&env=2"}})"),
                 QStringLiteral("tencent://message/?uin=1&env=2"));
        QCOMPARE(ProtocolFetch::launchLink("a tencent://a?env=1 b tencent://b?env=22 c"),
                 QStringLiteral("tencent://a?env=1 b tencent://b?env=22"));
        QCOMPARE(ProtocolFetch::launchLink("tencent://no-env"), QString());
        QCOMPARE(ProtocolFetch::launchLink("TENCENT://x?env=1"), QString());
        QCOMPARE(ProtocolFetch::launchLink(QByteArray()), QString());
    }

    void navigationScript_quotesTheLink()
    {
        QCOMPARE(ProtocolFetch::navigationScript("tencent://m/?uin=1&env=2"),
                 QStringLiteral("window.location.href=\"tencent://m/?uin=1&env=2\";"));
        const QString hostile = ProtocolFetch::navigationScript("tencent://x\";alert(1);//\\env=3");
        QCOMPARE(hostile,
                 QStringLiteral("window.location.href=\"tencent://x\\\";alert(1);//\\\\env=3\";"));
    }

    void isProtocolRequest_matchesThePathCaseSensitively()
    {
        QVERIFY(ProtocolFetch::isProtocolRequest("https://h/tp/wpaCall/getProtocol?a=1"));
        QVERIFY(!ProtocolFetch::isProtocolRequest("https://h/tp/wpacall/getProtocol?a=1"));
        QVERIFY(!ProtocolFetch::isProtocolRequest("https://h/tp/wpaCall/getProtocol"));
    }

    void relayAddress_usesConfiguredOriginAndRelay()
    {
        QTemporaryDir dir;
        const QString previous = QDir::currentPath();
        QDir::setCurrent(dir.path());
        const QString address = "https://admin.example.com/tp/wpaCall/getProtocol?a=1";
        QCOMPARE(ProtocolFetch::relayAddress(address), address);
        {
            QSettings s("config.ini", QSettings::IniFormat);
            s.setValue("Sys/QidianOrigin", "https://admin.example.com/");
            s.setValue("Sys/QidianRelay", "http://relay.example.net/qidian/");
        }
        QCOMPARE(ProtocolFetch::relayAddress(address),
                 QStringLiteral("http://relay.example.net/qidian/tp/wpaCall/getProtocol?a=1"));
        QDir::setCurrent(previous);
    }

    void fetch_returnsBody_errorsStallsAndAbandonedGiveNothing()
    {
        TestHttpServer server;
        std::atomic<bool> release{false};
        server.servePage("/ok", "tencent:\\/\\/m?env=1", "application/json");
        server.server().Get("/missing", [](const httplib::Request &, httplib::Response &res) {
            res.status = 404;
            res.set_content("nope", "text/plain");
        });
        server.server().Get("/stall", [&](const httplib::Request &, httplib::Response &res) {
            for (int i = 0; i < 200 && !release; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            res.set_content("late tencent://x?env=1", "text/plain");
        });
        QVERIFY(server.start());

        QCOMPARE(fetchNow(server.url("/ok").toString()), QByteArray("tencent:\\/\\/m?env=1"));
        QTest::ignoreMessage(QtDebugMsg, "request protobufHttp handle errors here");
        QTest::ignoreMessage(QtDebugMsg, "request protobufHttp found error ....code: 404 203\n");
        fetchNow(server.url("/missing").toString());

        QElapsedTimer clock;
        clock.start();
        QTest::ignoreMessage(QtDebugMsg,
                             QRegularExpression("^request protobufHttp gave up after 300 ms"));
        QCOMPARE(fetchNow(server.url("/stall").toString(), 300), QByteArray());
        QVERIFY(clock.elapsed() < 5000);

        // The page goes while its fetch waits: the fetch ends and never answers.
        bool answered = false;
        auto *context = new QObject;
        ProtocolFetch::fetch(server.url("/stall").toString(), context,
                             [&](const QByteArray &) { answered = true; });
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^request protobufHttp abandoned"));
        QTest::qWait(100);
        delete context;
        QTest::qWait(300);
        QVERIFY(!answered);
        release = true;

        // Certificate checks stay on: a TLS handshake with a plain-HTTP server fails.
        QCOMPARE(fetchNow(QString("https://127.0.0.1:%1/ok").arg(server.port())), QByteArray());
    }
};

QTEST_GUILESS_MAIN(TestProtocolFetch)
#include "tst_protocolfetch.moc"
