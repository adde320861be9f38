#include "autostart.h"
#include "machineidentity.h"
#include "programcontrol.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class TestProgramControl : public QObject
{
    Q_OBJECT

private slots:
    void endProgramByImageName_endsOnlyThatImage()
    {
        QTemporaryDir dir;
        const QString victim = dir.filePath("FakeClient");
        const QString bystander = dir.filePath("Bystander");
        QVERIFY(QFile::copy("/bin/sleep", victim));
        QVERIFY(QFile::copy("/bin/sleep", bystander));
        QProcess a, b, c;
        a.start(victim, {"60"});
        b.start(victim, {"60"});
        c.start(bystander, {"60"});
        QVERIFY(a.waitForStarted() && b.waitForStarted() && c.waitForStarted());

        QCOMPARE(ProgramControl::endProgramByImageName("FakeClient"), 2);
        QVERIFY(a.waitForFinished(5000));
        QVERIFY(b.waitForFinished(5000));
        QCOMPARE(a.exitStatus(), QProcess::CrashExit);
        QCOMPARE(c.state(), QProcess::Running);
        QCOMPARE(ProgramControl::endProgramByImageName("FakeClient"), 0);
        QCOMPARE(ProgramControl::endProgramByImageName(QString()), 0);
        c.kill();
        c.waitForFinished();
    }

    void startDetached_makesFileExecutableAndPassesArguments_outputGoesNowhere()
    {
        QTemporaryDir dir;
        const QString script = dir.filePath("installer.sh");
        const QString record = dir.filePath("record.txt");
        QFile f(script);
        QVERIFY(f.open(QIODevice::WriteOnly));
        // Records its arguments and where its error output goes (never into the caller's pipes).
        f.write("#!/bin/sh\n{ printf '%s|' \"$@\"; readlink /proc/$$/fd/2; } > \"$0.rec.tmp\""
                " && mv \"$0.rec.tmp\" \"" + record.toUtf8() + "\"\n");
        f.close();
        QFile::setPermissions(script, QFileDevice::ReadOwner | QFileDevice::WriteOwner);

        QVERIFY(ProgramControl::startDetached(script, {"/SILENT", "two words"}));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(record), 5000);
        QFile r(record);
        QVERIFY(r.open(QIODevice::ReadOnly));
        QCOMPARE(r.readAll(), QByteArray("/SILENT|two words|/dev/null\n"));
    }

    void runTool_returnsStandardOutput()
    {
        QCOMPARE(ProgramControl::runTool("echo hello world", 1000, 5000),
                 QStringLiteral("hello world\n"));
        QCOMPARE(ProgramControl::runTool("no-such-tool-xyz a", 1000, 1000), QString());
    }

    void autostartEntry_oddProgramPathQuotedAndEscaped_validForTheDesktop()
    {
        const QString entry =
            Autostart::desktopEntry(QStringLiteral("/opt/My Apps/100% \"M\"/$x/MervoClient"));
        QVERIFY(entry.contains(
            QStringLiteral("\nExec=\"/opt/My Apps/100%% \\\\\"M\\\\\"/\\\\$x/MervoClient\"\n")));
        QTemporaryDir dir;
        QFile file(dir.filePath("mervo-client.desktop"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(entry.toUtf8());
        file.close();
        QProcess validate;
        validate.setProcessChannelMode(QProcess::MergedChannels);
        validate.start("desktop-file-validate", {file.fileName()});
        QVERIFY(validate.waitForFinished(30000));
        QCOMPARE(QString::fromUtf8(validate.readAll()), QString());
        QCOMPARE(validate.exitCode(), 0);
    }

    void machineIdentity_givesPlainValues()
    {
        const QString pid = MachineIdentity::processorIdText();
#if defined(__x86_64__) || defined(__i386__)
        QCOMPARE(pid.size(), 16);
#endif
        QVERIFY(!MachineIdentity::machineUuid().contains('\n'));
        for (const QString &serial : MachineIdentity::diskSerialTexts())
            QVERIFY(!serial.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestProgramControl)
#include "tst_programcontrol.moc"
