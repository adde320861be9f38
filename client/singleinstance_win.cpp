#include "singleinstance.h"

#include <QDebug>

#include <string>
#include <vector>

#include <windows.h>

#include <sddl.h>

// The string SID of the user this process runs as, or empty.
static QString currentUserSid()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return QString();
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<char> buffer(size);
    QString sid;
    if (size && GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) {
        LPWSTR text = nullptr;
        if (ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER *>(buffer.data())->User.Sid,
                                   &text)) {
            sid = QString::fromWCharArray(text);
            LocalFree(text);
        }
    }
    CloseHandle(token);
    return sid;
}

QString SingleInstance::serverName(const QString &key)
{
    // Pipe names are one namespace for the whole computer: the name carries the
    // desktop session and the user, so each user's session has its own instance.
    DWORD session = 0;
    ProcessIdToSessionId(GetCurrentProcessId(), &session);
    const QString sid = currentUserSid();
    if (sid.isEmpty())
        return QString();
    return QStringLiteral("%1-%2-%3").arg(key).arg(session).arg(sid);
}

SingleInstance::Answer SingleInstance::awaitAnswer(QLocalSocket &socket, int answerMs)
{
    // A pipe goes with its process, so a closed call is always a taken one.
    if (socket.state() == QLocalSocket::UnconnectedState || socket.waitForDisconnected(answerMs))
        return Answer::Woken;
    return Answer::Busy;
}

bool SingleInstance::isRunning()
{
    // The running instance raises its window from the background, which Windows only
    // allows when the process the user just started hands its foreground right on.
    AllowSetForegroundWindow(ASFW_ANY);
    return answers(30000, 5000);
}

// Creates the pipe's first instance ("first instance only", so a name someone else
// already holds fails) readable and writable by the current user alone, and connects to
// it so that every later connection reaches the instances of the Qt server.
static bool createGuard(const std::wstring &pipe, HANDLE *guardPipe, HANDLE *guardClient)
{
    const QString sid = currentUserSid();
    if (sid.isEmpty())
        return false;
    // Full access for the current user, nobody else.
    const std::wstring sddl = L"D:P(A;;GA;;;" + sid.toStdWString() + L")";
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                              &descriptor, nullptr))
        return false;
    SECURITY_ATTRIBUTES attributes{};
    attributes.nLength = sizeof(attributes);
    attributes.lpSecurityDescriptor = descriptor;
    attributes.bInheritHandle = FALSE;
    const HANDLE server = CreateNamedPipeW(
        pipe.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_FIRST_PIPE_INSTANCE | FILE_FLAG_OVERLAPPED,
        PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, PIPE_UNLIMITED_INSTANCES, 8192, 8192, 0,
        &attributes);
    LocalFree(descriptor);
    if (server == INVALID_HANDLE_VALUE)
        return false;
    const HANDLE client = CreateFileW(pipe.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
    if (client == INVALID_HANDLE_VALUE) {
        CloseHandle(server);
        return false;
    }
    *guardPipe = server;
    *guardClient = client;
    return true;
}

bool SingleInstance::listen()
{
    m_lostToRunning = false;
    m_error.clear();
    if (name.isEmpty()) {
        m_error = QStringLiteral("the current user's identity is not readable");
        return false;
    }
    // Qt's pipe server never reports a name as taken, so "nobody answers" and "listen"
    // become one step under a mutex that every start of this user and session shares.
    const std::wstring mutexName = L"Local\\" + name.toStdWString();
    const HANDLE mutex = CreateMutexW(nullptr, FALSE, mutexName.c_str());
    const DWORD waited = mutex ? WaitForSingleObject(mutex, 30000) : WAIT_FAILED;
    const bool locked = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
    if (!locked)
        qWarning() << "single instance: lock not taken within 30 s:" << name << "error"
                   << GetLastError();

    bool listening = false;
    if (answers(2000, 2000)) {
        m_lostToRunning = true;
    } else if (!locked) {
        m_error = QStringLiteral("the single-instance lock is held by a start that does not "
                                 "finish");
    } else {
        const std::wstring pipe = L"\\\\.\\pipe\\" + name.toStdWString();
        HANDLE pipeHandle = nullptr;
        HANDLE clientHandle = nullptr;
        if (!createGuard(pipe, &pipeHandle, &clientHandle)) {
            m_error =
                QStringLiteral("the pipe name is held elsewhere (error %1)").arg(GetLastError());
        } else {
            guardPipe = pipeHandle;
            guardClient = clientHandle;
            server.setSocketOptions(QLocalServer::UserAccessOption);
            listening = server.listen(name);
            if (!listening)
                releaseGuard();
        }
    }

    if (locked)
        ReleaseMutex(mutex);
    if (mutex)
        CloseHandle(mutex);
    return listening;
}

void SingleInstance::releaseGuard()
{
    if (guardClient)
        CloseHandle(static_cast<HANDLE>(guardClient));
    if (guardPipe)
        CloseHandle(static_cast<HANDLE>(guardPipe));
    guardClient = nullptr;
    guardPipe = nullptr;
}
