#include "loginurl.h"
#include "webbridge.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

static const QString Ascending = QStringLiteral("0123456789abcdef0123456789abcdef");
static const QString Descending = QStringLiteral("fedcba9876543210fedcba9876543210");

class TestLoginUrl : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir folder;

private slots:
    void initTestCase() { QDir::setCurrent(folder.path()); }
    void init() { QFile::remove("config.ini"); }

    void pickLoginBase_wrapsLikeSigned32BitAndKeepsSignOfRemainder_data()
    {
        QTest::addColumn<QString>("urls");
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("expected");
        // h = -1783317168 for the ascending id: -1783317168 % 5 = -3 -> index 3.
        QTest::newRow("ascending, 5") << "u0|u1|u2|u3|u4" << Ascending << "u3";
        QTest::newRow("ascending, 3") << "u0|u1|u2" << Ascending << "u0";
        // h = 306277168 for the descending id: index 1 of 3.
        QTest::newRow("descending, 3") << "u1|u2|u3" << Descending << "u2";
        QTest::newRow("one entry") << "only" << Descending << "only";
        QTest::newRow("empty setting") << "" << Ascending << "";
        QTest::newRow("empty middle entry") << "u1||u3" << Descending << "";
    }

    void pickLoginBase_wrapsLikeSigned32BitAndKeepsSignOfRemainder()
    {
        QFETCH(QString, urls);
        QFETCH(QString, id);
        QFETCH(QString, expected);
        QCOMPARE(LoginUrl::pickLoginBase(urls, id), expected);
    }

    void buildLoginUrl_fromSettings_data()
    {
        QTest::addColumn<QString>("loginUrl");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("expected");
        QTest::newRow("picked base") << "u1|u2|u3" << "x" << "u2?source=x";
        QTest::newRow("no login urls") << "" << "s1|s2" << "s1?source=s1|s2";
        QTest::newRow("empty candidate falls back") << "u1||u3" << "s1|s2" << "s1?source=s1|s2";
        QTest::newRow("nothing set") << QString() << QString() << "?source=";
    }

    void buildLoginUrl_fromSettings()
    {
        QFETCH(QString, loginUrl);
        QFETCH(QString, source);
        QFETCH(QString, expected);
        {
            QSettings s("config.ini", QSettings::IniFormat);
            if (!loginUrl.isNull())
                s.setValue("Sys/LoginUrl", loginUrl);
            if (!source.isNull())
                s.setValue("Sys/Source", source);
        }
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^login url: "));
        QCOMPARE(LoginUrl::buildLoginUrl(Descending), expected);
    }

    // A path of the login page's link stays on the login server, whatever the address
    // in config.ini holds (a mistyped port once let "//host/x" name another server).
    void herfAddress_pathNeverLeavesTheLoginServer()
    {
        QCOMPARE(WebBridge::herfAddress("http://127.0.0.1:8080/a/", "/b?c=1"),
                 QUrl("http://127.0.0.1:8080/b?c=1"));
        QCOMPARE(WebBridge::herfAddress("http://127.0.0.1:8080/", "//evil.example/x").host(),
                 QString("127.0.0.1"));
        QVERIFY(WebBridge::herfAddress("http://127.0.0.1:80P0/", "//evil.example/x").isEmpty());
        QVERIFY(WebBridge::herfAddress("no address", "/x").isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestLoginUrl)
#include "tst_loginurl.moc"
