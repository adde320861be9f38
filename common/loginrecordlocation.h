#pragma once

#include <QStandardPaths>
#include <QString>

// Folder and path of the local login record. The client and both plug-ins run in
// one process, so they all resolve the same per-user data folder.
inline QString loginRecordDir()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
}

inline QString loginRecordPath()
{
    return loginRecordDir() + QStringLiteral("/login.secret");
}
