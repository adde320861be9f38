#pragma once

#include "trustpolicy.h"

#include <QPointer>
#include <QWebEnginePage>

#include <memory>

// Whether a bridge answers a call: only while its page shows one of the service's
// own pages. A refused call logs the page's origin and does nothing.
class BridgeAccess final
{
public:
    BridgeAccess() = default; // no page: every call is refused
    BridgeAccess(QWebEnginePage *page, std::shared_ptr<const TrustPolicy> policy);

    bool admits(const char *slot) const;

private:
    QPointer<QWebEnginePage> page;
    std::shared_ptr<const TrustPolicy> policy;
};
