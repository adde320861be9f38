#include "machineidentity.h"
#include "programcontrol.h"
#include "tooloutput.h"

#include <windows.h>
#include <winioctl.h>

#if defined(_M_X64) || defined(_M_IX86) || defined(__x86_64__) || defined(__i386__)
#include <intrin.h>
#define MERVO_HAVE_CPUID
#endif

// wmic first, because its values are what earlier installations cached; where the tool
// is gone (Windows 11 24H2 and later) or prints nothing, the same values from the system.
namespace MachineIdentity {

static const int ToolWaitMs = 30000;

static QString cpuidProcessorId()
{
#ifdef MERVO_HAVE_CPUID
    int registers[4] = {};
    __cpuid(registers, 1);
    return ToolOutput::processorIdFromCpuid(quint32(registers[0]), quint32(registers[3]));
#else
    return QString();
#endif
}

static QString storageSerial(const QString &device)
{
    const HANDLE handle =
        CreateFileW(reinterpret_cast<const wchar_t *>(device.utf16()), 0,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return QString();
    STORAGE_PROPERTY_QUERY query = {};
    query.PropertyId = StorageDeviceProperty;
    query.QueryType = PropertyStandardQuery;
    QByteArray descriptor(4096, '\0');
    DWORD returned = 0;
    const BOOL ok =
        DeviceIoControl(handle, IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query,
                        descriptor.data(), DWORD(descriptor.size()), &returned, nullptr);
    CloseHandle(handle);
    return ok ? ToolOutput::serialFromStorageDescriptor(descriptor.left(int(returned))) : QString();
}

QString processorIdText()
{
    const QString fromTool = ToolOutput::processorId(ProgramControl::runTool(
        QStringLiteral("wmic CPU get ProcessorID"), ToolWaitMs, ToolWaitMs));
    return fromTool.isEmpty() ? cpuidProcessorId() : fromTool;
}

QStringList diskSerialTexts()
{
    QStringList serials = ToolOutput::diskSerials(ProgramControl::runTool(
        QStringLiteral("wmic diskdrive get serialnumber"), ToolWaitMs, ToolWaitMs));
    if (!serials.isEmpty())
        return serials;
    // Every physical drive, as wmic lists them, so the caller picks the same serial.
    for (int drive = 0; drive < 32; ++drive) {
        const QString serial = storageSerial(QStringLiteral("\\\\.\\PhysicalDrive%1").arg(drive));
        if (!serial.isEmpty())
            serials << serial;
    }
    return serials;
}

QString machineUuid()
{
    const QString command = QStringLiteral("wmic csproduct get uuid");
    const QString fromTool =
        ToolOutput::reducedValue(ProgramControl::runTool(command, ToolWaitMs, ToolWaitMs), command);
    if (!fromTool.isEmpty())
        return fromTool;
    const DWORD rsmb = 0x52534D42; // 'RSMB', the raw SMBIOS provider
    const UINT size = GetSystemFirmwareTable(rsmb, 0, nullptr, 0);
    QByteArray table(int(size), '\0');
    if (size == 0 || GetSystemFirmwareTable(rsmb, 0, table.data(), size) != size)
        return QString();
    return ToolOutput::uuidFromSmbios(table);
}

} // namespace MachineIdentity
