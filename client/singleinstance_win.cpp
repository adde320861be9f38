#include "singleinstance.h"

#include <string>

#include <windows.h>

bool SingleInstance::isRunning()
{
    // The running instance raises its window from the background, which Windows only
    // allows when the process the user just started hands its foreground right on.
    AllowSetForegroundWindow(ASFW_ANY);
    return answers(30000);
}

bool SingleInstance::listen()
{
    m_lostToRunning = false;
    // Qt's pipe server never reports a name as taken, so "nobody answers" and "listen"
    // become one step under a mutex that every start in this session shares.
    const std::wstring name = L"Local\\" + key.toStdWString();
    const HANDLE mutex = CreateMutexW(nullptr, FALSE, name.c_str());
    const DWORD waited = mutex ? WaitForSingleObject(mutex, 30000) : WAIT_FAILED;

    bool listening = false;
    if (answers(2000))
        m_lostToRunning = true;
    else
        listening = server.listen(key);

    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED)
        ReleaseMutex(mutex);
    if (mutex)
        CloseHandle(mutex);
    return listening;
}
