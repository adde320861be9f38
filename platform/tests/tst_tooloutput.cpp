#include "tooloutput.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestToolOutput : public QObject
{
    Q_OBJECT

private slots:
    void processorId_headerPaddingAndCrCrLf_givesBareValue()
    {
        const QString out = QStringLiteral("ProcessorId       \r\r\nBFEBFBFF000906EA  \r\r\n\r\r\n");
        QCOMPARE(ToolOutput::processorId(out), QStringLiteral("BFEBFBFF000906EA"));
        QCOMPARE(ToolOutput::processorId(QString()), QString());
    }

    void processorId_twoProcessors_keepsLineBreakBetween()
    {
        const QString out = QStringLiteral("ProcessorId\r\r\nAAAA\r\r\nBBBB\r\r\n");
        QCOMPARE(ToolOutput::processorId(out), QStringLiteral("AAAA\r\r\nBBBB"));
    }

    void diskSerials_dropsHeaderAndBlanks_keepsOrder()
    {
        const QString out = QStringLiteral(
            "SerialNumber    \r\r\n  ZX900  \r\r\n  A1B2  \r\r\n\r\r\n");
        // Splitting at CRLF leaves the stray CR on each part; trimming removes it.
        QCOMPARE(ToolOutput::diskSerials(out), (QStringList{"ZX900", "A1B2"}));
        QVERIFY(ToolOutput::diskSerials(QStringLiteral("SerialNumber  \r\r\n\r\r\n")).isEmpty());
    }

    void reducedValue_removesHeaderInAnyCase()
    {
        const QString out = QStringLiteral("UUID   \r\r\n1234-ABCD   \r\r\n\r\r\n");
        QCOMPARE(ToolOutput::reducedValue(out, QStringLiteral("wmic csproduct get uuid")),
                 QStringLiteral("1234-ABCD"));
        QCOMPARE(ToolOutput::reducedValue(QStringLiteral(" a \n  b "), QStringLiteral("x uuid")),
                 QStringLiteral("a b"));
    }

    void diskSerialsFromSysfs_readsBothLayouts_skipsDisksWithout()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        auto write = [&](const QString &rel, const QByteArray &data) {
            QVERIFY(QDir(dir.path()).mkpath(QFileInfo(rel).path()));
            QFile f(dir.filePath(rel));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(data);
        };
        write("sda/device/serial", "  WD-ZZZ9\n");
        write("nvme0n1/device/serial", "S4EVNX0M\n");
        write("vda/serial", "virt-01\n");
        write("loop0/size", "0\n");
        write("sdb/device/serial", "   \n");
        QCOMPARE(ToolOutput::diskSerialsFromSysfs(dir.path()),
                 (QStringList{"S4EVNX0M", "WD-ZZZ9", "virt-01"}));
        QVERIFY(ToolOutput::diskSerialsFromSysfs(dir.filePath("missing")).isEmpty());
    }

    void processorIdFromCpuid_isEdxThenEaxInUpperHex()
    {
        QCOMPARE(ToolOutput::processorIdFromCpuid(0x906ea, 0xbfebfbff),
                 QStringLiteral("BFEBFBFF000906EA"));
    }
};

QTEST_GUILESS_MAIN(TestToolOutput)
#include "tst_tooloutput.moc"
