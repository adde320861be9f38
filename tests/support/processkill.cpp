#include "processkill.h"

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <csignal>
#include <sys/types.h>
#endif

namespace ProcessKill {

bool now(qint64 pid)
{
    // 0 and below would name a whole process group (or every process) on Linux.
    if (pid <= 0)
        return false;
#ifdef Q_OS_WIN
    const HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, DWORD(pid));
    if (!process)
        return false;
    const bool ended = TerminateProcess(process, 1) != FALSE;
    CloseHandle(process);
    return ended;
#else
    return ::kill(pid_t(pid), SIGKILL) == 0;
#endif
}

} // namespace ProcessKill
