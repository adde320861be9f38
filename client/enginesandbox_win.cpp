#include "enginesandbox.h"

namespace EngineSandbox {

// The engine's Windows sandbox needs nothing the client could find missing.
bool canCreateUserNamespaces()
{
    return true;
}

} // namespace EngineSandbox
