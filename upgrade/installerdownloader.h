#pragma once

#include "updatecheck.h"

#include <QCryptographicHash>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QUrl>

#include <memory>

class FileFollower;
class ProgressDialog;
class QNetworkReply;
class QTemporaryFile;
class SignatureCheck;

// Downloads the installer into a fresh file of the temporary folder with a progress
// pop-up; only when it passed every check it is put in place under its name, the client
// is ended and the installer started silently. Every refusal is one log line
// "installer refused: <reason>"; the client then keeps running.
class InstallerDownloader final : public QObject
{
    Q_OBJECT

public:
    // keys: the trusted minisign public keys; unsignedAccepted: no signature needed.
    InstallerDownloader(const QString &mainProgram, const QStringList &keys, bool unsignedAccepted);
    ~InstallerDownloader() override;

    // Checks the answer and starts the download; false (nothing started) on refusal.
    // installedVersion: Sys/Version, else the updater's own; checkUrl: the answer's address.
    bool startDownload(const UpdateCheck::Answer &answer, const QString &installedVersion,
                       const QString &checkUrl);

    // Why name cannot be a file name on every platform we run on (empty when it can).
    static QString fileNameProblem(const QString &name);

    // Gives up when no data arrives for this long.
    static const int StallTimeoutMs = 30000;
    // Data waiting in memory at most (the transfer pauses until it is written).
    static const int ChunkSize = 1 << 20;

private slots:
    void httpReadyRead();
    void install();

private:
    QString answerProblem(const UpdateCheck::Answer &answer, const QString &installedVersion,
                          const QString &checkUrl);
    QString downloadProblem();
    QString putInPlace();
    void startInstaller();
    static void refuse(const QString &reason);
    [[noreturn]] static void endProcess();

    QUrl url;
    QString mainProgram;
    QString finalPath;
    QString expectedSha256;
    std::unique_ptr<SignatureCheck> signature;
    QPointer<ProgressDialog> progressDialog;
    QNetworkAccessManager manager;
    QNetworkReply *reply = nullptr;
    std::unique_ptr<QTemporaryFile> file;
    // Hashes what is written, on a thread of its own; null when nothing is hashed.
    std::unique_ptr<FileFollower> follower;
    QByteArray chunk;
    QCryptographicHash hash{QCryptographicHash::Sha256};
    qint64 written = 0;
    bool writeFailed = false;
};
