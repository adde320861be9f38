// The settings' layers as the client's users meet them: a program folder they may or may
// not write, their own file, the administrator's managed keys, and files damaged on disk.
#include "clientsettings.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

class TestClientSettings : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;

    QString path(const QString &name) const { return dir.filePath(name); }
    static bool write(const QString &file, const QByteArray &content)
    {
        QDir().mkpath(QFileInfo(file).absolutePath());
        QFile f(file);
        return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(content) == content.size();
    }
    static QByteArray read(const QString &file)
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
    }

private slots:
    void init() { QVERIFY(dir.isValid()); }

    void writableFolder_keepsOneFile_aUserFileCountsForNothing()
    {
        const QString installation = path("w/config.ini"), user = path("w-user/Mervo/config.ini");
        QVERIFY(write(installation, "[Sys]\nLoginUrl=http://a/login,http://b/login\nCloseAction=\n"));
        QVERIFY(write(user, "[Sys]\nCloseAction=min\n"));
        ClientSettings settings(installation, user, path("none.ini"));
        QCOMPARE(settings.text("Sys/CloseAction"), QString());
        QCOMPARE(settings.text("Sys/LoginUrl"), QString("http://a/login,http://b/login"));
        QCOMPARE(settings.choicesFile(), installation);
        QVERIFY(settings.setValue("/Sys/PID", "BFEBFBFF000906EA"));
        QCOMPARE(read(user), QByteArray("[Sys]\nCloseAction=min\n"));
        QCOMPARE(ClientSettings(installation, user, QString()).text("Sys/PID"),
                 QString("BFEBFBFF000906EA"));
    }

    void readOnlyFolder_choicesGoToTheUserFile_readOverTheInstallation()
    {
        const QString folder = path("ro"), installation = path("ro/config.ini");
        const QString user = path("ro-home/.config/Mervo/config.ini");
        const QByteArray written = "[Sys]\nLoginUrl=http://a/login\nZoom=1.5\nPID=\n";
        QVERIFY(write(installation, written));
        QVERIFY(QFile::setPermissions(installation, QFile::ReadOwner | QFile::ReadOther));
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        {
            ClientSettings settings(installation, user, QString());
            QCOMPARE(settings.choicesFile(), user);
            QVERIFY(settings.choicesWritable());
            QVERIFY(settings.setValue("Sys/Zoom", "1.25"));
            QVERIFY(settings.setValue("/Sys/PID", "P1"));
            QCOMPARE(settings.text("Sys/Zoom"), QString("1.25"));
        }
        // A restart: the choices are there, the administrator's file is as it was.
        const ClientSettings again(installation, user, QString());
        QCOMPARE(again.text("Sys/Zoom"), QString("1.25"));
        QCOMPARE(again.text("Sys/PID"), QString("P1"));
        QCOMPARE(again.text("Sys/LoginUrl"), QString("http://a/login"));
        QCOMPARE(read(installation), written);

        // A package's folder: its config.ini links to the administrator's file, which no
        // run writes, not even root's.
        const QString package = path("pkg");
        QVERIFY(QDir().mkpath(package));
        QVERIFY(QFile::link(installation, package + "/config.ini"));
        QVERIFY(write(package + "/updates-by-package-manager", ""));
        const ClientSettings packaged(package + "/config.ini", user, QString());
        QCOMPARE(packaged.choicesFile(), user);
        QCOMPARE(packaged.text("Sys/Zoom"), QString("1.25"));

        // Nowhere to write: said so, and nothing pretends to be kept.
        const QString lockedHome = path("ro-locked");
        QVERIFY(QDir().mkpath(lockedHome));
        QVERIFY(QFile::setPermissions(lockedHome, QFile::ReadOwner | QFile::ExeOwner));
        ClientSettings nowhere(installation, lockedHome + "/.config/Mervo/config.ini", QString());
        QVERIFY(!nowhere.choicesWritable());
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^settings: cannot write .*ro-locked"));
        QVERIFY(!nowhere.setValue("Sys/Zoom", "2"));
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QVERIFY(QFile::setPermissions(lockedHome, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }

    void managedKeys_winOverBothFiles_andCannotBeChanged()
    {
        const QString installation = path("m/config.ini"), managed = path("m-etc/managed.ini");
        QVERIFY(write(installation, "[Sys]\nMultiClient=1\nCloseAction=\nZoom=1.5\n"));
        QVERIFY(write(managed, "[Sys]\nMultiClient=0\nCloseAction=min\n"));
        ClientSettings settings(installation, path("m-user.ini"), managed);
        QCOMPARE(settings.value("Sys/MultiClient").toBool(), false);
        QCOMPARE(settings.text("Sys/CloseAction"), QString("min"));
        QVERIFY(settings.isManaged("/Sys/CloseAction"));
        QVERIFY(!settings.isManaged("Sys/Zoom"));
        QVERIFY(!settings.setValue("Sys/MultiClient", "1"));
        QCOMPARE(settings.value("Sys/MultiClient").toBool(), false);
        QCOMPARE(read(installation), QByteArray("[Sys]\nMultiClient=1\nCloseAction=\nZoom=1.5\n"));
    }

    // Random bytes hold unclosed quotes, line continuations and brackets: whatever they
    // hold, the key lines after them count, and a write keeps them.
    void damagedFile_everySoundKeyLineCounts_aWriteKeepsThem()
    {
        const QByteArray keys = "\n[Sys]\nLoginUrl=http://a/login\nSource=demo\n";
        for (quint32 seed = 1; seed <= 12; ++seed) {
            QRandomGenerator random(seed);
            QByteArray noise(seed == 1 ? 1024 * 1024 : 64 * 1024, Qt::Uninitialized);
            const char often[] = "\"\\[]=\n;,";
            for (char &c : noise)
                c = random.bounded(4) == 0 ? often[random.bounded(int(sizeof often) - 1)]
                                           : char(random.bounded(256));
            const QString file = path(QString("d%1/config.ini").arg(seed));
            QVERIFY(write(file, noise + keys));
            const ClientSettings settings(file, QString(), QString());
            QCOMPARE(settings.text("Sys/LoginUrl"), QString("http://a/login"));
            QCOMPARE(settings.text("Sys/Source"), QString("demo"));
        }
        ClientSettings settings(path("d2/config.ini"), QString(), QString());
        QVERIFY(settings.setValue("Sys/Zoom", "1.25"));
        const ClientSettings after(path("d2/config.ini"), QString(), QString());
        QCOMPARE(after.text("Sys/LoginUrl"), QString("http://a/login"));
        QCOMPARE(after.text("Sys/Zoom"), QString("1.25"));
        QVERIFY(QFile::exists(path("d2/config.ini.damaged")));

        // No room for another copy of what the repair leaves out: nothing is written.
        const QString kept = path("d3/config.ini");
        for (int i = 0; i < 5; ++i)
            QVERIFY(write(kept + ".damaged" + QString::number(i), QByteArray::number(i)));
        const QByteArray damaged = read(kept);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("five copies are kept already"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^settings: damaged, and no copy"));
        QVERIFY(!ClientSettings(kept, QString(), QString()).setValue("Sys/Zoom", "2"));
        QCOMPARE(read(kept), damaged);
    }
};

QTEST_GUILESS_MAIN(TestClientSettings)
#include "tst_clientsettings.moc"
