#pragma once

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
};
