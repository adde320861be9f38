#include "deviceidentity.h"
#include "loginrecord.h"

#include <QDir>
#include <QFile>
#include <QHostInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <stdexcept>

class TestDeviceIdentity : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir folder;
    int processorCalls = 0;
    int diskCalls = 0;

    DeviceIdentity::Sources sources(const QString &pid, const QStringList &serials)
    {
        return {[this, pid] {
                    ++processorCalls;
                    return pid;
                },
                [this, serials] {
                    ++diskCalls;
                    return serials;
                }};
    }
    QSettings config() const { return QSettings("config.ini", QSettings::IniFormat); }

private slots:
    void initTestCase() { QDir::setCurrent(folder.path()); }

    void init()
    {
        QFile::remove("config.ini");
        processorCalls = diskCalls = 0;
    }

    void deviceId_computesOnce_cachesUnderSys_thenReadsCache()
    {
        const QString id = DeviceIdentity::deviceId(sources("BFEBFBFF000906EA", {"ZX9", "A1B2"}));
        QCOMPARE(id, LoginRecord::md5Hex("BFEBFBFF000906EAA1B2"));
        QCOMPARE(config().value("Sys/PID").toString(), QStringLiteral("BFEBFBFF000906EA"));
        QCOMPARE(config().value("Sys/HID").toString(), QStringLiteral("A1B2"));
        QFile file("config.ini");
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        QVERIFY(text.contains("[Sys]"));
        QVERIFY(text.contains("PID=BFEBFBFF000906EA"));

        QCOMPARE(DeviceIdentity::deviceId(sources("other", {"other"})), id);
        QCOMPARE(processorCalls, 1);
        QCOMPARE(diskCalls, 1);
    }

    void deviceId_noDiskSerial_fallsBackToTimestampStoredForGood()
    {
        const QString id = DeviceIdentity::deviceId(sources("CPU", {}));
        const QString hid = config().value("Sys/HID").toString();
        QVERIFY(QRegularExpression("^20\\d{12}$").match(hid).hasMatch());
        QCOMPARE(id, LoginRecord::md5Hex("CPU" + hid));
        QTest::qWait(1100);
        QCOMPARE(DeviceIdentity::deviceId(sources("CPU", {})), id);
    }

    void deviceId_emptyProcessorId_isStoredEmpty_andAskedAgain()
    {
        DeviceIdentity::deviceId(sources("", {"S"}));
        QVERIFY(config().contains("Sys/PID"));
        QCOMPARE(config().value("Sys/PID").toString(), QString());
        DeviceIdentity::deviceId(sources("", {"S"}));
        QCOMPARE(processorCalls, 2);
        QCOMPARE(diskCalls, 1);
    }

    void deviceId_failingDiskSource_logsCritical_usesTimestamp()
    {
        DeviceIdentity::Sources failing{[] { return QString("CPU"); },
                                        []() -> QStringList { throw std::runtime_error("no disks"); }};
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("^no disks \\(.*\\)$"));
        DeviceIdentity::deviceId(failing);
        QCOMPARE(config().value("Sys/HID").toString().size(), 14);
    }

    void deviceId_readsValuesWrittenWithLeadingSlash()
    {
        {
            QSettings s = config();
            s.setValue("/Sys/PID", "P1");
            s.setValue("/Sys/HID", "H1");
        }
        QCOMPARE(DeviceIdentity::deviceId(sources("x", {"y"})), LoginRecord::md5Hex("P1H1"));
        QCOMPARE(processorCalls + diskCalls, 0);
    }

    void deviceId_systemSources_giveStable32HexId()
    {
        const QString id = DeviceIdentity::deviceId();
        QVERIFY(QRegularExpression("^[0-9a-f]{32}$").match(id).hasMatch());
        QCOMPARE(DeviceIdentity::deviceId(), id);
    }

    void computerInfo_holdsOnlyTheHostName()
    {
        const QString text = DeviceIdentity::computerInfo();
        QVERIFY(text.endsWith("}\n"));
        const QJsonObject info = QJsonDocument::fromJson(text.toUtf8()).object();
        QCOMPARE(info.keys(), QStringList{"computerName"});
        QCOMPARE(info.value("computerName").toString(), QHostInfo::localHostName());
    }
};

QTEST_GUILESS_MAIN(TestDeviceIdentity)
#include "tst_deviceidentity.moc"
