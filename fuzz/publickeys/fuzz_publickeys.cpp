// Lines of minisign public key files, as the build compiles them into the updater.
#include "fuzzinput.h"
#include "signaturecheck.h"

#include <QStringList>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const FuzzInput input(data, size);
    const QStringList lines = QString::fromLatin1(input.bytes).split(QLatin1Char('\n'));
    SignatureCheck check(lines);
    FUZZ_ASSERT(check.keyCount() <= lines.size());
    // Without a signature nothing is accepted, whatever the keys.
    FUZZ_ASSERT(!check.checkAnswer(QString(), QStringLiteral("a.run"), QStringLiteral("1"))
                     .isEmpty());
    return 0;
}
