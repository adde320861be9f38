#pragma once

#include <QtGlobal>

// Ends processes the way a crash would, for tests of what survives one.
namespace ProcessKill {

// Ends process pid at once, without letting it clean up (SIGKILL; TerminateProcess on
// Windows). Returns whether the kill was delivered.
bool now(qint64 pid);

} // namespace ProcessKill
