#pragma once

#include <QString>
#include "qtcompat.h"

// Why a download failed, in words the user reads, and what can be done about it.
class DownloadFailure final
{
public:
    // The Chinese reason for an interrupt reason ("磁盘空间不足", "网络连接中断", ...).
    static QString reasonText(QWebEngineDownloadRequest::DownloadInterruptReason reason);

    // The box text for a failed download of fileName.
    static QString message(const QString &fileName, const QString &reason);

    // Checks made before the transfer and when its size becomes known: the folder must take
    // a file and have room for the bytes still to come (0: not known). The reason text, or
    // empty when the download may go.
    static QString checkTarget(const QString &folder, qint64 bytesToCome);
};
