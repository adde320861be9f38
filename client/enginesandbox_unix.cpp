#include "enginesandbox.h"

#include <cerrno>

#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

namespace EngineSandbox {

bool canCreateUserNamespaces()
{
    // In a child: unshare() of a user namespace refuses a process with threads, and the
    // namespaces must not stay with the client.
    const pid_t child = fork();
    if (child < 0)
        return false;
    if (child == 0) {
        const bool made = unshare(CLONE_NEWUSER) == 0 && unshare(CLONE_NEWPID | CLONE_NEWNET) == 0;
        _exit(made ? 0 : 1);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR)
            return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace EngineSandbox
