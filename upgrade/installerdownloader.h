#pragma once

#include <QCryptographicHash>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QUrl>

#include <memory>

class ProgressDialog;
class QFile;
class QNetworkReply;

// Downloads the installer into the temporary folder with a progress pop-up, then
// ends the client and starts the installer silently. Only a complete, verified
// download is ever installed; anything else is deleted and the client keeps running.
class InstallerDownloader final : public QObject
{
    Q_OBJECT

public:
    explicit InstallerDownloader(const QString &mainProgram);
    ~InstallerDownloader() override;

    // Starts the download; false (nothing started) when the name is no plain file
    // name or the file cannot be created. expectedSha256 may be empty.
    bool startDownload(const QString &url, const QString &installerName,
                       const QString &expectedSha256 = QString());

    // A plain file name: no folder separators, not "." or "..", not empty.
    static bool isPlainFileName(const QString &name);

    // Gives up when no data arrives for this long.
    static const int StallTimeoutMs = 30000;

private slots:
    void httpReadyRead();
    void install();

private:
    QString failureReason();
    [[noreturn]] static void endProcess();

    QUrl url;
    QString mainProgram;
    QString expectedSha256;
    QPointer<ProgressDialog> progressDialog;
    QNetworkAccessManager manager;
    QNetworkReply *reply = nullptr;
    std::unique_ptr<QFile> file;
    QCryptographicHash hash{QCryptographicHash::Sha256};
    qint64 written = 0;
    bool writeFailed = false;
};
