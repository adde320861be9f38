#pragma once

#include <QString>
#include <QUrl>

// Which login page this device uses: Sys/LoginUrl lists candidate bases separated
// by "|", and a hash of the device identifier picks one, so a device keeps its
// entry and devices spread over the entries.
namespace LoginUrl {

// The candidate picked for deviceId (31-multiplier hash, signed 32-bit wrap-around).
QString pickLoginBase(const QString &loginUrls, const QString &deviceId);

// "<base>?source=<Sys/Source>" from config.ini; an empty base falls back to the
// first "|"-part of the source.
QString buildLoginUrl(const QString &deviceId);

// Whether a composed login URL can be loaded at all (an http or https address with a
// host); without one the installation is incomplete.
bool isUsable(const QString &loginUrl);

// The client's own page that explains an incomplete installation.
QUrl setupIncompletePage();

} // namespace LoginUrl
