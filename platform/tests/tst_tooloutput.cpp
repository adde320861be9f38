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
        const QString out =
            QStringLiteral("ProcessorId       \r\r\nBFEBFBFF000906EA  \r\r\n\r\r\n");
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
        const QString out =
            QStringLiteral("SerialNumber    \r\r\n  ZX900  \r\r\n  A1B2  \r\r\n\r\r\n");
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

    void uuidFromSmbios_findsSystemStructure_firstFieldsLittleEndian()
    {
        // Structures: BIOS (type 0) with strings, System (type 1), end of table (127).
        const QByteArray bios = QByteArray::fromHex("00120000") + QByteArray(14, '\x01') +
                                QByteArray("Vendor\0001.0\0\0", 12);
        const QByteArray uuid = QByteArray::fromHex("00112233445566778899AABBCCDDEEFF");
        QByteArray system =
            QByteArray::fromHex("011B0100") + QByteArray::fromHex("01020304") + uuid;
        system += QByteArray::fromHex("060506") + QByteArray("Maker\0\0", 7);
        const QByteArray end = QByteArray::fromHex("7F04FFFF0000");
        auto raw = [](const QByteArray &table) {
            QByteArray length(4, '\0');
            qToLittleEndian<quint32>(quint32(table.size()), length.data());
            return QByteArray::fromHex("00030400") + length + table;
        };
        const QString expected = QStringLiteral("33221100-5544-7766-8899-AABBCCDDEEFF");
        QCOMPARE(ToolOutput::uuidFromSmbios(raw(bios + system + end)), expected);
        QCOMPARE(ToolOutput::uuidFromSmbios(raw(system)), expected);

        // A table cut inside the UUID, one without type 1, a bad length, a short buffer.
        QCOMPARE(ToolOutput::uuidFromSmbios(raw(bios + system.left(20))), QString());
        QCOMPARE(ToolOutput::uuidFromSmbios(raw(bios + end + system)), QString());
        QCOMPARE(ToolOutput::uuidFromSmbios(raw(QByteArray::fromHex("01020000") + system)),
                 QString());
        QCOMPARE(ToolOutput::uuidFromSmbios(QByteArray::fromHex("000304")), QString());
        // The header's length bounds the table even when the buffer is longer.
        QByteArray shortHeader = raw(bios + system);
        shortHeader[4] = char(bios.size());
        QCOMPARE(ToolOutput::uuidFromSmbios(shortHeader), QString());
    }

    void serialFromStorageDescriptor_readsAtOffset_boundsChecked()
    {
        QByteArray descriptor(40, '\0');
        descriptor[24] = 40; // SerialNumberOffset
        QCOMPARE(ToolOutput::serialFromStorageDescriptor(descriptor +
                                                         QByteArray(" S4EVNX0M123 \0junk", 18)),
                 QStringLiteral("S4EVNX0M123"));
        QCOMPARE(ToolOutput::serialFromStorageDescriptor(descriptor + "WD-77"),
                 QStringLiteral("WD-77"));
        QCOMPARE(ToolOutput::serialFromStorageDescriptor(descriptor), QString());
        descriptor[24] = 0;
        QCOMPARE(ToolOutput::serialFromStorageDescriptor(descriptor + "unused"), QString());
        QCOMPARE(ToolOutput::serialFromStorageDescriptor(descriptor.left(20)), QString());
    }
};

QTEST_GUILESS_MAIN(TestToolOutput)
#include "tst_tooloutput.moc"
