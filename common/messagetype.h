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
    // The host and the modules ask for the downloads list; the workspace module shows it.
    ShowDownloads = 7,
    // A download finished writing; the message is the file name.
    DownloadFinished = 8,
    // Module to host: how many of its downloads are running (the number as text).
    DownloadsRunning = 9,
    // Host to every module, before it quits: cancel the running downloads.
    CancelDownloads = 10,
};
