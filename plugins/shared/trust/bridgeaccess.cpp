#include "bridgeaccess.h"

#include <QDebug>

BridgeAccess::BridgeAccess(QWebEnginePage *page, std::shared_ptr<const TrustPolicy> policy)
    : page(page)
    , policy(std::move(policy))
{}

bool BridgeAccess::admits(const char *slot) const
{
    if (policy && policy->mayUseBridges(page))
        return true;
    const QUrl shown = page ? page->url() : QUrl();
    qDebug().noquote() << "bridge call refused:"
                       << shown
                              .adjusted(QUrl::RemovePath | QUrl::RemoveQuery |
                                        QUrl::RemoveFragment | QUrl::RemoveUserInfo)
                              .toString()
                       << slot;
    return false;
}
