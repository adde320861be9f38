// The update service's answer as the updater reads it off the network.
#include "fuzzinput.h"
#include "updatecheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const FuzzInput input(data, size);
    const UpdateCheck::Answer answer = UpdateCheck::parseAnswer(input.bytes);
    // Only an answer whose success is JSON true asks for an update; a broken one never does,
    // and says why it is no answer.
    if (!answer.answered)
        FUZZ_ASSERT(!answer.needUpdate);
    if (input.bytes.size() > UpdateCheck::MaxAnswerBytes)
        FUZZ_ASSERT(!answer.answered && !answer.problem.isEmpty());
    return 0;
}
