#include "tooloutput.h"

#include <QDir>
#include <QFile>
#include <QtEndian>

namespace ToolOutput {

QString processorId(const QString &output)
{
    QString text = output;
    text.remove(QStringLiteral("ProcessorId"), Qt::CaseSensitive);
    return text.trimmed();
}

QStringList diskSerials(const QString &output)
{
    QStringList serials;
    const QStringList parts = output.split(QStringLiteral("\r\n"));
    for (const QString &part : parts) {
        const QString value = part.trimmed();
        if (!value.isEmpty() && !value.startsWith(QStringLiteral("SerialNumber")))
            serials << value;
    }
    return serials;
}

QString reducedValue(const QString &output, const QString &command)
{
    const QString header = command.split(QLatin1Char(' ')).last();
    QString text = output;
    if (!header.isEmpty())
        text.remove(header, Qt::CaseInsensitive);
    text.remove(QLatin1Char('\r'));
    text.remove(QLatin1Char('\n'));
    return text.simplified();
}

QStringList diskSerialsFromSysfs(const QString &sysBlockDir)
{
    QStringList serials;
    const QDir dir(sysBlockDir);
    const QStringList disks = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &disk : disks) {
        for (const QString &rel : {QStringLiteral("/device/serial"), QStringLiteral("/serial")}) {
            QFile file(dir.filePath(disk) + rel);
            if (!file.open(QIODevice::ReadOnly))
                continue;
            const QString serial = QString::fromLocal8Bit(file.readAll()).trimmed();
            if (!serial.isEmpty()) {
                serials << serial;
                break;
            }
        }
    }
    serials.sort(Qt::CaseSensitive);
    return serials;
}

QString processorIdFromCpuid(quint32 eax, quint32 edx)
{
    return QStringLiteral("%1%2")
        .arg(edx, 8, 16, QLatin1Char('0'))
        .arg(eax, 8, 16, QLatin1Char('0'))
        .toUpper();
}

QString uuidFromSmbios(const QByteArray &rawSmbios)
{
    // RawSMBIOSData: four version bytes, the table length, then the table.
    const int headerSize = 8;
    if (rawSmbios.size() < headerSize)
        return QString();
    const auto *bytes = reinterpret_cast<const uchar *>(rawSmbios.constData());
    const qint64 end =
        qMin<qint64>(rawSmbios.size(), headerSize + qFromLittleEndian<quint32>(bytes + 4));
    qint64 at = headerSize;
    while (at + 4 <= end) {
        const uchar type = bytes[at];
        const uchar length = bytes[at + 1];
        if (length < 4 || type == 127)
            break;
        if (type == 1 && length >= 0x18 && at + 0x18 <= end) {
            // Time-low, time-mid and time-high are stored little-endian, the rest as is.
            static const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
            QByteArray uuid(16, '\0');
            for (int i = 0; i < 16; ++i)
                uuid[i] = char(bytes[at + 8 + order[i]]);
            QString text = QString::fromLatin1(uuid.toHex().toUpper());
            const QLatin1Char dash('-');
            return text.insert(20, dash).insert(16, dash).insert(12, dash).insert(8, dash);
        }
        // The formatted area is followed by its strings, ended by two NUL bytes.
        qint64 next = at + length;
        while (next + 1 < end && (bytes[next] != 0 || bytes[next + 1] != 0))
            ++next;
        at = next + 2;
    }
    return QString();
}

QString serialFromStorageDescriptor(const QByteArray &descriptor)
{
    const int serialOffsetField = 24;
    if (descriptor.size() < serialOffsetField + 4)
        return QString();
    const quint32 offset = qFromLittleEndian<quint32>(descriptor.constData() + serialOffsetField);
    if (offset == 0 || offset >= quint32(descriptor.size()))
        return QString();
    const int nul = descriptor.indexOf('\0', int(offset));
    const QByteArray serial = descriptor.mid(int(offset), nul < 0 ? -1 : nul - int(offset));
    return QString::fromLatin1(serial).trimmed();
}

} // namespace ToolOutput
