// The dotted-version comparison that decides whether a signed installer is newer.
#include "fuzzinput.h"
#include "signaturecheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const FuzzInput input(data, size);
    bool ok = false;
    bool backOk = false;
    bool selfOk = false;
    const int forward = SignatureCheck::compareVersions(input.first, input.second, &ok);
    const int back = SignatureCheck::compareVersions(input.second, input.first, &backOk);
    FUZZ_ASSERT(ok == backOk);
    FUZZ_ASSERT(forward >= -1 && forward <= 1);
    if (ok)
        FUZZ_ASSERT(forward == -back);
    const int self = SignatureCheck::compareVersions(input.first, input.first, &selfOk);
    if (selfOk)
        FUZZ_ASSERT(self == 0);
    return 0;
}
