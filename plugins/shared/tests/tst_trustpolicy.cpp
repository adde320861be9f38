#include "desktophandoff.h"
#include "trustpolicy.h"

#include <QDir>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

class TestTrustPolicy : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir folder;

private slots:
    void initTestCase() { QDir::setCurrent(folder.path()); }

    void serviceOrigins_schemeHostAndPortOfEachSource_data()
    {
        QTest::addColumn<QString>("trustedHosts");
        QTest::addColumn<QUrl>("url");
        QTest::addColumn<bool>("service");
        const QString none;
        QTest::newRow("login candidate") << none << QUrl("https://a.example.com/x?y") << true;
        QTest::newRow("second candidate, explicit port")
            << none << QUrl("http://b.example.com:8080/") << true;
        QTest::newRow("candidate on another port")
            << none << QUrl("http://b.example.com:9090/") << false;
        QTest::newRow("candidate on another scheme")
            << none << QUrl("http://a.example.com/") << false;
        QTest::newRow("default port written out")
            << none << QUrl("https://a.example.com:443/") << true;
        QTest::newRow("host case") << none << QUrl("https://A.EXAMPLE.com/") << true;
        QTest::newRow("login URL in use") << none << QUrl("http://127.0.0.1:5000/login") << true;
        QTest::newRow("suffix trick") << none << QUrl("https://a.example.com.evil.io/") << false;
        QTest::newRow("user info trick") << none << QUrl("https://a.example.com@evil.io/") << false;
        QTest::newRow("resource page") << none << QUrl("qrc:/load.html") << true;
        QTest::newRow("local file") << none << QUrl("file:///etc/passwd") << false;
        QTest::newRow("trusted host, default ports")
            << "files.example.net" << QUrl("https://files.example.net/f") << true;
        QTest::newRow("trusted host, other port")
            << "files.example.net" << QUrl("http://files.example.net:81/") << false;
        QTest::newRow("trusted host:port, either scheme")
            << "c.example.org:8443|  d.example.org " << QUrl("https://c.example.org:8443/") << true;
        QTest::newRow("second trusted host")
            << "c.example.org:8443|  d.example.org " << QUrl("http://d.example.org/") << true;
        QTest::newRow("malformed entry ignored") << "/path|x y" << QUrl("http://x/") << false;
    }

    void serviceOrigins_schemeHostAndPortOfEachSource()
    {
        QFETCH(QString, trustedHosts);
        QFETCH(QUrl, url);
        QFETCH(bool, service);
        {
            QSettings settings("config.ini", QSettings::IniFormat);
            settings.setValue("Sys/TrustedHosts", trustedHosts);
        }
        const auto login =
            TrustPolicy::forLogin("https://a.example.com/login|http://b.example.com:8080/l||",
                                  QUrl("http://127.0.0.1:5000/login?source=x"));
        QCOMPARE(login->isServiceOrigin(url), service);
        // The workspace knows only its start URL (and the same trusted hosts).
        const auto workspace = TrustPolicy::forWorkspace(QUrl("https://a.example.com/main"));
        QCOMPARE(workspace->isServiceOrigin(url),
                 service && url.host() != "b.example.com" && url.host() != "127.0.0.1");
    }

    void permissions_mediaAndNotificationsOnlyForServiceOrigins()
    {
        const auto policy = TrustPolicy::forWorkspace(QUrl("http://127.0.0.1:8080/work"));
        const QList<QWebEnginePage::Feature> granted{
            QWebEnginePage::Notifications, QWebEnginePage::MediaAudioCapture,
            QWebEnginePage::MediaVideoCapture, QWebEnginePage::MediaAudioVideoCapture};
        for (auto f : granted) {
            QCOMPARE(policy->permissionFor(f, QUrl("http://127.0.0.1:8080")),
                     QWebEnginePage::PermissionGrantedByUser);
            QCOMPARE(policy->permissionFor(f, QUrl("http://127.0.0.1:9090")),
                     QWebEnginePage::PermissionDeniedByUser);
        }
        for (auto f :
             {QWebEnginePage::Geolocation, QWebEnginePage::MouseLock,
              QWebEnginePage::DesktopVideoCapture, QWebEnginePage::DesktopAudioVideoCapture})
            QCOMPARE(policy->permissionFor(f, QUrl("http://127.0.0.1:8080")),
                     QWebEnginePage::PermissionDeniedByUser);
    }

    void desktopHandOff_webMailChatAndDownloadedFilesOnly()
    {
        for (const char *ok : {"https://example.org/x", "http://h/", "mailto:a@b.c",
                               "aliim:chat?uid=1", "TENCENT://message/?uin=1", "kelda:x"})
            QVERIFY2(DesktopHandOff::allows(QUrl(ok)), ok);
        for (const char *refused :
             {"file:///etc/passwd", "smb://server/share", "ms-settings:display",
              "javascript:alert(1)", "x-custom:run", "http:///nohost", ""})
            QVERIFY2(!DesktopHandOff::allows(QUrl(refused)), refused);

        const QString saved = folder.filePath("out/report.xlsx");
        QVERIFY(!DesktopHandOff::allows(QUrl::fromLocalFile(saved)));
        DesktopHandOff::allowDownloadedFile(saved);
        QVERIFY(DesktopHandOff::allows(QUrl::fromLocalFile(saved)));
        QVERIFY(DesktopHandOff::allows(QUrl::fromLocalFile(folder.filePath("out"))));
        QVERIFY(
            DesktopHandOff::allows(QUrl::fromLocalFile(folder.filePath("out/../out/report.xlsx"))));
        QVERIFY(!DesktopHandOff::allows(QUrl::fromLocalFile(folder.filePath("out/other.xlsx"))));
        QVERIFY(!DesktopHandOff::allows(QUrl::fromLocalFile(folder.path())));

        QTest::ignoreMessage(QtDebugMsg, "desktop hand-off refused: smb://server/share");
        QVERIFY(!DesktopHandOff::open(QUrl("smb://server/share")));
    }
};

QTEST_GUILESS_MAIN(TestTrustPolicy)
#include "tst_trustpolicy.moc"
