#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// A stable identifier of this computer: MD5 of the processor id and the first disk
// serial, both cached in config.ini (Sys/PID, Sys/HID) so the sources are read once.
namespace DeviceIdentity {

struct Sources {
    std::function<QString()> processorId;
    std::function<QStringList()> diskSerials;
};

// The operating system's identifier sources (see the platform layer).
Sources systemSources();

// 32 lower-case hexadecimal characters.
QString deviceId(const Sources &sources = systemSources());

// Indented JSON {"computerName": <host name>}.
QString computerInfo();

} // namespace DeviceIdentity
