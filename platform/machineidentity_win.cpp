#include "machineidentity.h"
#include "programcontrol.h"
#include "tooloutput.h"

namespace MachineIdentity {

static const int ToolWaitMs = 30000;

QString processorIdText()
{
    return ToolOutput::processorId(
        ProgramControl::runTool(QStringLiteral("wmic CPU get ProcessorID"), ToolWaitMs, ToolWaitMs));
}

QStringList diskSerialTexts()
{
    return ToolOutput::diskSerials(ProgramControl::runTool(
        QStringLiteral("wmic diskdrive get serialnumber"), ToolWaitMs, ToolWaitMs));
}

QString machineUuid()
{
    const QString command = QStringLiteral("wmic csproduct get uuid");
    return ToolOutput::reducedValue(ProgramControl::runTool(command, ToolWaitMs, ToolWaitMs),
                                    command);
}

} // namespace MachineIdentity
