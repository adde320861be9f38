#pragma once

#include "bridgeaccess.h"

#include <QObject>
#include <QPointer>
#include <QString>

class QWidget;

// The download panel's native object ("file" on its web channel): close the
// panel, open the saved file or its folder.
class FileSaveWebBridge final : public QObject
{
    Q_OBJECT

public:
    FileSaveWebBridge(const QString &dirPath, const QString &filePath, QWidget *window);

    // Calls are answered only while the panel shows its own resource page.
    void setAccess(const BridgeAccess &access) { this->access = access; }

signals:
    void closed();

public slots:
    void close();
    void openFile();
    void opneFileDir();

private:
    QPointer<QWidget> window;
    QString filePath;
    QString dirPath;
    BridgeAccess access;
};
