#pragma once

#include <QStringList>

// The publisher's minisign public keys, compiled into each updater program from the
// key file its build names (see mervo_update_keys in CMake).
namespace UpdateKeys {

// Base64 key lines of the trusted public keys; an installer signed by any of them passes.
QStringList publicKeys();

// True only for a build made to accept unsigned installers (no keys).
bool unsignedAccepted();

} // namespace UpdateKeys
