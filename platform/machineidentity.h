#pragma once

#include <QString>
#include <QStringList>

// Raw identifier sources of this computer. Callers cache and combine them; these
// functions only read what the operating system offers and may block briefly (on
// Windows they run wmic first, bounded by 30 s to start and 30 s to finish, and read
// the processor, the drives and the firmware themselves where wmic gives nothing).
namespace MachineIdentity {

// Processor id text; empty when it cannot be read.
QString processorIdText();

// Serial numbers of the whole disks, in the order the source lists them; empty
// when none can be read (callers then fall back to a time stamp).
QStringList diskSerialTexts();

// A stable machine UUID as plain text; empty when none can be read.
QString machineUuid();

} // namespace MachineIdentity
