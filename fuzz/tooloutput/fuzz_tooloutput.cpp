// Output of the identifier tools and the raw firmware and storage structures the device
// identifier is made of.
#include "fuzzinput.h"
#include "tooloutput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const FuzzInput input(data, size);
    const QString text = QString::fromUtf8(input.bytes);
    ToolOutput::processorId(text);
    for (const QString &serial : ToolOutput::diskSerials(text))
        FUZZ_ASSERT(!serial.isEmpty() && serial == serial.trimmed());
    const QString reduced = ToolOutput::reducedValue(text, QStringLiteral("wmic csproduct get uuid"));
    FUZZ_ASSERT(!reduced.contains(QLatin1Char('\n')) && !reduced.contains(QLatin1Char('\r')));
    ToolOutput::uuidFromSmbios(input.bytes);
    ToolOutput::serialFromStorageDescriptor(input.bytes);
    return 0;
}
