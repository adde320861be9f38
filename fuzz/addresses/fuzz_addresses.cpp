// Addresses pages hand to the client: the login page's links (first line: the login
// address, then the page's path), the trust policy's service origins and the desktop
// hand-off's decision.
#include "desktophandoff.h"
#include "fuzzinput.h"
#include "trustpolicy.h"
#include "webbridge.h"

#include <QUrl>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const FuzzInput input(data, size);
    const QUrl login(input.first);
    const auto policy = TrustPolicy::forLogin(input.first, login);
    const QUrl link = WebBridge::herfAddress(input.first, input.second);
    // A path on the login server never leads to another host or port.
    if (input.second.startsWith(QLatin1Char('/')) && link.isValid() && !link.isEmpty()) {
        FUZZ_ASSERT(link.host() == login.host());
        FUZZ_ASSERT(link.port() == login.port());
    }
    policy->isServiceOrigin(link);
    const QUrl page(input.second);
    policy->isServiceOrigin(page);
    DesktopHandOff::allows(page);
    DesktopHandOff::allows(link);
    TrustPolicy other;
    other.addTrustedHost(input.first);
    other.isServiceOrigin(page);
    return 0;
}
