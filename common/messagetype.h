#pragma once

#include <QtGlobal>

// Messages between the modules and the host. The numbers travel between separately
// built libraries and must never change.
enum MessageType : qint32 {
    OpenWorkspace = 0,
    // 1 is reserved: nobody sends it and the host only forwards it.
    CloseWindow = 2,
    OpenLogin = 3,
    ReloadView = 4,
    SetTrayToolTip = 5,
    SetWindowTitle = 6,
    // Module to host: how many of its downloads are running (the number as text).
    DownloadsRunning = 7,
    // Host to every module, before it quits: cancel the running downloads.
    CancelDownloads = 8,
};
