#include "tooloutput.h"

#include <QDir>
#include <QFile>

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

} // namespace ToolOutput
