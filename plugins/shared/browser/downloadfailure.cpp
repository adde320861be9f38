#include "downloadfailure.h"

#include <QFileInfo>
#include <QStorageInfo>

using Item = QWebEngineDownloadRequest;

QString DownloadFailure::reasonText(Item::DownloadInterruptReason reason)
{
    switch (reason) {
    case Item::FileNoSpace:
        return QStringLiteral("磁盘空间不足");
    case Item::FileAccessDenied:
        return QStringLiteral("没有写入权限");
    case Item::FileFailed:
    case Item::FileTransientError:
        return QStringLiteral("文件无法写入");
    case Item::FileNameTooLong:
        return QStringLiteral("文件名过长");
    case Item::FileTooLarge:
        return QStringLiteral("文件过大");
    case Item::FileVirusInfected:
    case Item::FileBlocked:
    case Item::FileSecurityCheckFailed:
        return QStringLiteral("文件被安全策略拦截");
    case Item::FileTooShort:
    case Item::FileHashMismatch:
        return QStringLiteral("文件不完整");
    case Item::NetworkFailed:
    case Item::NetworkDisconnected:
        return QStringLiteral("网络连接中断");
    case Item::NetworkTimeout:
        return QStringLiteral("网络超时");
    case Item::NetworkServerDown:
    case Item::ServerUnreachable:
        return QStringLiteral("无法连接服务器");
    case Item::NetworkInvalidRequest:
        return QStringLiteral("下载请求无效");
    case Item::ServerFailed:
        return QStringLiteral("服务器错误");
    case Item::ServerBadContent:
        return QStringLiteral("服务器上没有这个文件");
    case Item::ServerUnauthorized:
    case Item::ServerForbidden:
        return QStringLiteral("服务器拒绝了下载");
    case Item::ServerCertProblem:
        return QStringLiteral("服务器证书有误");
    case Item::UserCanceled:
        return QStringLiteral("已取消");
    case Item::NoReason:
        break;
    }
    return QStringLiteral("未知原因");
}

QString DownloadFailure::message(const QString &fileName, const QString &reason)
{
    return QStringLiteral("“%1”下载失败：%2。").arg(fileName, reason);
}

QString DownloadFailure::checkTarget(const QString &folder, qint64 bytesToCome)
{
    // The engine makes a missing folder itself: the nearest existing one must take it.
    QFileInfo info(folder);
    while (!info.exists() && !info.isRoot() && info.absolutePath() != info.absoluteFilePath())
        info.setFile(info.absolutePath());
    if (!info.isDir() || !info.isWritable())
        return reasonText(Item::FileAccessDenied);
    const QStorageInfo storage(info.absoluteFilePath());
    if (bytesToCome > 0 && storage.isValid() && storage.bytesAvailable() < bytesToCome)
        return reasonText(Item::FileNoSpace);
    return QString();
}
