#include "filesavewebbridge.h"

#include "desktophandoff.h"

#include <QDebug>
#include <QFile>
#include <QMessageBox>
#include <QUrl>

FileSaveWebBridge::FileSaveWebBridge(const QString &dirPath, const QString &filePath,
                                     QWidget *window)
    : window(window)
    , filePath(filePath)
    , dirPath(dirPath)
{}

void FileSaveWebBridge::close()
{
    if (!access.admits("close"))
        return;
    qDebug() << "close";
    emit closed();
}

void FileSaveWebBridge::openFile()
{
    if (!access.admits("openFile") || filePath.isNull())
        return;
    if (QFile::exists(filePath)) {
        DesktopHandOff::open(QUrl::fromLocalFile(filePath));
        return;
    }
    QMessageBox::information(nullptr, QStringLiteral("文件不存在"), filePath, QMessageBox::Ok);
}

void FileSaveWebBridge::opneFileDir()
{
    if (access.admits("opneFileDir") && !dirPath.isNull())
        DesktopHandOff::open(QUrl::fromLocalFile(dirPath));
}
