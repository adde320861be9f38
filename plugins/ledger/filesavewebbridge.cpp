#include "filesavewebbridge.h"

#include <QDebug>
#include <QDesktopServices>
#include <QFile>
#include <QMessageBox>
#include <QUrl>

FileSaveWebBridge::FileSaveWebBridge(const QString &dirPath, const QString &filePath,
                                     QWidget *window)
    : window(window)
    , filePath(filePath)
    , dirPath(dirPath)
{
}

void FileSaveWebBridge::close()
{
    qDebug() << "close";
    emit closed();
}

void FileSaveWebBridge::openFile()
{
    if (filePath.isNull())
        return;
    if (QFile::exists(filePath)) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(filePath));
        return;
    }
    QMessageBox::information(nullptr, QStringLiteral("文件不存在"), filePath, QMessageBox::Ok);
}

void FileSaveWebBridge::opneFileDir()
{
    if (!dirPath.isNull())
        QDesktopServices::openUrl(QUrl::fromLocalFile(dirPath));
}
