#pragma once

#include "updatecheck.h"

#include "ratewatch.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#include <memory>

class FileFollower;
class QDir;
class ProgressDialog;
class QNetworkReply;
class QTemporaryFile;
class SignatureCheck;

// Downloads the installer into a fresh file of the temporary folder with a progress
// pop-up; only when it passed every check it is put in place under its name, the client
// is ended and the installer started silently. Every refusal is one log line
// "installer refused: <reason>"; the client then keeps running. A download bounded by
// its signed size (else SizeLimit), the room on disk and a least average speed; one
// that completes after the client went on ends nothing without asking.
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

    // Why the folder has no room for size bytes plus DiskReserve (empty when it has).
    static QString roomProblem(const QString &folder, qint64 size);

    // The client stops waiting for us at this deadline: from then on nothing ends it
    // without asking. Set from the updater's start.
    void setClientWaitsUntil(const QDeadlineTimer &deadline) { clientWaits = deadline; }

    // Gives up when no data arrives for this long.
    static const int StallTimeoutMs = 30000;
    // Data waiting in memory at most (the transfer pauses until it is written).
    static const int ChunkSize = 1 << 20;
    // The most an installer may be when its size is not signed.
    static constexpr qint64 SizeLimit = qint64(1) << 30;
    // Room left free on the disk after a download of known size.
    static constexpr qint64 DiskReserve = qint64(64) << 20;
    // How long the question after a late download waits for an answer.
    static const int QuestionTimeoutMs = 10 * 60 * 1000;
    // How long a notice the user must act on stays up (the client waits meanwhile).
    static const int NoticeTimeoutMs = 15000;

private slots:
    void httpReadyRead();
    void install();

private:
    void checkHeaders();
    void watchRate();
    void abandon(const QString &reason);
    QString keptProblem(const QString &path);
    void removeStaleParts(const QDir &temp) const;
    void finish();
    void askToInstall();
    QString answerProblem(const UpdateCheck::Answer &answer, const QString &installedVersion,
                          const QString &checkUrl);
    QString downloadProblem();
    QString putInPlace();
    void startInstaller();
    static void refuse(const QString &reason);
    // Tells the user, in a bounded pop-up, what they must do for updates to work again.
    void tellUser(const QString &text);
    static QString noRoomText(const QString &folder, qint64 size);
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
    qint64 signedSize = -1;
    qint64 limit = SizeLimit;
    QString installerName;
    QString abandonReason;
    QString notice; // for the user, with the refusal
    bool kept = false;
    QDeadlineTimer clientWaits;
    RateWatch rate{RateWatch::windowFromEnvironment()};
    QTimer rateTimer;
    QElapsedTimer downloadClock;
};
