// The update service's answer as the updater reads it off the network.
#include "fuzzinput.h"
#include "updatecheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const FuzzInput input(data, size);
    const UpdateCheck::Answer answer = UpdateCheck::parseAnswer(input.bytes);
    // Only a JSON true asks for an update; an empty or broken answer never does.
    if (input.bytes.trimmed().isEmpty())
        FUZZ_ASSERT(!answer.needUpdate);
    return 0;
}
