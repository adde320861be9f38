#pragma once

#include <QString>

// A verified installer that waits for the client's next start, in the user's local
// data folder (owner-only). It is installed only after its signature checked again
// against the service's current answer, and deleted once the service no longer offers it.
namespace KeptInstaller {

QString folder();
// Where an installer of that name is kept (whether or not it exists).
QString path(const QString &installerName);
// Moves the verified file at from there (replacing an older one); reason or empty.
QString keep(const QString &from, const QString &installerName);
// Deletes every kept installer but the one named offered (all of them when empty).
void removeAllBut(const QString &offered);

} // namespace KeptInstaller
