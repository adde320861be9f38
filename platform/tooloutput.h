#pragma once

#include <QString>
#include <QStringList>

// Pure parsers for the output of the identifier tools (wmic on Windows) and for
// the Linux sources of the same values. Kept free of I/O so every platform tests them.
namespace ToolOutput {

// "wmic CPU get ProcessorID": drop the header word, trim; several processors keep
// the line breaks between their ids.
QString processorId(const QString &output);

// "wmic diskdrive get serialnumber": one serial per CRLF line, trimmed, without
// the header and blank lines, in output order.
QStringList diskSerials(const QString &output);

// Reduces a tool's output to the bare value: removes the command's last word
// (the column header) ignoring case, drops CR and LF, simplifies white space.
QString reducedValue(const QString &output, const QString &command);

// Serials of whole disks as the kernel publishes them under a /sys/block folder
// ("<disk>/device/serial" or "<disk>/serial"), sorted; virtual devices have none.
QStringList diskSerialsFromSysfs(const QString &sysBlockDir);

// CPUID leaf 1 registers as wmic prints ProcessorId: EDX then EAX, 16 upper-case hex digits.
QString processorIdFromCpuid(quint32 eax, quint32 edx);

} // namespace ToolOutput
