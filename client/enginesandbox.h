#pragma once

#include <QString>

// The web engine's renderer sandbox, as the client's start sees it. The engine builds
// its sandbox from user namespaces; where it cannot, it aborts at its start with a
// line on the terminal and the user sees nothing. The client asks first and explains.
// It never turns the sandbox off itself, and an ordinary user keeps it whatever the
// environment says: QTWEBENGINE_DISABLE_SANDBOX and --no-sandbox count only for root,
// for whom the engine has no sandbox (the tests run so).
namespace EngineSandbox {

// At the very start, before the engine reads its environment.
void keepOnForOrdinaryUsers();

enum class Problem {
    None,
    NoUserNamespaces, // the kernel lets this user create none
    RunAsRoot,        // the engine refuses a sandbox for root
};

// Before the first web view or profile.
Problem problem();

// What the user is told, in Chinese: the cause and how an administrator fixes it.
QString message(Problem problem);

// Whether this process may create a user namespace with its own process and network
// namespaces, as the sandbox does for every renderer.
bool canCreateUserNamespaces();

} // namespace EngineSandbox
