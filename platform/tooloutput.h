#pragma once

#include <QString>
#include <QStringList>

#include <QByteArray>

// Pure parsers for the output of the identifier tools (wmic on Windows) and for the
// other sources of the same values (firmware tables, storage descriptors, sysfs).
// Kept free of system calls so every platform tests them.
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

// The system UUID (structure type 1) of a raw SMBIOS table as GetSystemFirmwareTable('RSMB')
// returns it (8-byte header, then the structures), formatted as wmic prints it: upper-case,
// the first three fields read little-endian. Empty when the table holds none.
QString uuidFromSmbios(const QByteArray &rawSmbios);

// The serial number of a STORAGE_DEVICE_DESCRIPTOR (IOCTL_STORAGE_QUERY_PROPERTY,
// StorageDeviceProperty), trimmed; empty when the descriptor carries none.
QString serialFromStorageDescriptor(const QByteArray &descriptor);

} // namespace ToolOutput
