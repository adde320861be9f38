#include "machineidentity.h"
#include "tooloutput.h"

#include <QFile>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace MachineIdentity {

QString processorIdText()
{
#if defined(__x86_64__) || defined(__i386__)
    unsigned int eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx))
        return ToolOutput::processorIdFromCpuid(eax, edx);
#endif
    return QString();
}

QStringList diskSerialTexts()
{
    return ToolOutput::diskSerialsFromSysfs(QStringLiteral("/sys/block"));
}

QString machineUuid()
{
    // product_uuid is readable by root only; machine-id is there for everyone.
    for (const QString &path :
         {QStringLiteral("/sys/class/dmi/id/product_uuid"), QStringLiteral("/etc/machine-id")}) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly)) {
            const QString value = QString::fromLatin1(file.readAll()).trimmed();
            if (!value.isEmpty())
                return value;
        }
    }
    return QString();
}

} // namespace MachineIdentity
