#pragma once

#include <QString>

// Which login page this device uses: Sys/LoginUrl lists candidate bases separated
// by "|", and a hash of the device identifier picks one, so a device keeps its
// entry and devices spread over the entries.
namespace LoginUrl {

// The candidate picked for deviceId (31-multiplier hash, signed 32-bit wrap-around).
QString pickLoginBase(const QString &loginUrls, const QString &deviceId);

// "<base>?source=<Sys/Source>" from config.ini; an empty base falls back to the
// first "|"-part of the source.
QString buildLoginUrl(const QString &deviceId);

} // namespace LoginUrl
