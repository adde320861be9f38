#include "installerdownloader.h"

#include "clientwait.h"
#include "filefollower.h"
#include "keptinstaller.h"
#include "programcontrol.h"
#include "progressdialog.h"
#include "signaturecheck.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QMessageBox>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QTemporaryFile>

#include <cstdlib>

InstallerDownloader::InstallerDownloader(const QString &mainProgram, const QStringList &keys,
                                         bool unsignedAccepted)
    : mainProgram(mainProgram)
    , clientWaits(clientWaitMs() * 9 / 10)
{
    if (!unsignedAccepted)
        signature = std::make_unique<SignatureCheck>(keys);
    manager.setTransferTimeout(StallTimeoutMs);
    // Ordinary CDN redirects are followed, but never from HTTPS down to HTTP.
    manager.setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
    connect(&rateTimer, &QTimer::timeout, this, &InstallerDownloader::watchRate);
}

InstallerDownloader::~InstallerDownloader() = default;

QString InstallerDownloader::fileNameProblem(const QString &name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return QStringLiteral("no file name");
    static const QRegularExpression forbidden(QStringLiteral("[<>:\"|?*/\\\\\\x00-\\x1f]"));
    if (forbidden.match(name).hasMatch())
        return QStringLiteral("a folder separator, control or reserved character");
    if (name.endsWith(QLatin1Char('.')) || name.endsWith(QLatin1Char(' ')))
        return QStringLiteral("a trailing dot or blank");
    // Windows keeps these names for devices, whatever extension follows.
    static const QRegularExpression device(
        QStringLiteral(
            "^(CON|PRN|AUX|NUL|COM[0-9\\x{b9}\\x{b2}\\x{b3}]|LPT[0-9\\x{b9}\\x{b2}\\x{b3}])"
            " *(\\..*)?$"),
        QRegularExpression::CaseInsensitiveOption);
    if (device.match(name).hasMatch())
        return QStringLiteral("a device name");
    return QString();
}

QString InstallerDownloader::roomProblem(const QString &folder, qint64 size)
{
    const QStorageInfo storage(folder);
    if (!storage.isValid())
        return QString();
    const qint64 free = storage.bytesAvailable();
    if (free >= 0 && size <= free - DiskReserve)
        return QString();
    return QStringLiteral("%1 bytes do not fit in %2: %3 bytes free, %4 kept in reserve")
        .arg(size)
        .arg(folder)
        .arg(free)
        .arg(DiskReserve);
}

QString InstallerDownloader::noRoomText(const QString &folder, qint64 size)
{
    const QLocale locale;
    return QStringLiteral("磁盘空间不足，无法下载更新：需要 %1，%2 只剩 %3。请清理磁盘后重新启动客户端。")
        .arg(locale.formattedDataSize(size + DiskReserve), QDir::toNativeSeparators(folder),
             locale.formattedDataSize(qMax<qint64>(0, QStorageInfo(folder).bytesAvailable())));
}

void InstallerDownloader::tellUser(const QString &text)
{
    if (progressDialog)
        progressDialog->close();
    qDebug().noquote() << "user told:" << text;
    QMessageBox box(QMessageBox::Warning, QStringLiteral("更新"), text);
    QTimer::singleShot(NoticeTimeoutMs, &box, &QMessageBox::accept);
    box.exec();
}

void InstallerDownloader::refuse(const QString &reason)
{
    qDebug().noquote() << "installer refused:" << reason;
}

QString InstallerDownloader::answerProblem(const UpdateCheck::Answer &answer,
                                           const QString &installedVersion, const QString &checkUrl)
{
    const QString nameProblem = fileNameProblem(answer.installerName);
    if (!nameProblem.isEmpty())
        return QStringLiteral("installer name \"%1\" has %2")
            .arg(answer.installerName, nameProblem);
    url = QUrl(answer.url, QUrl::TolerantMode);
    const QString scheme = url.scheme();
    if ((scheme != QLatin1String("http") && scheme != QLatin1String("https")) ||
        url.host().isEmpty())
        return QStringLiteral("download address is no http or https address: ") + answer.url;
    if (QUrl(checkUrl, QUrl::TolerantMode).scheme() == QLatin1String("https") &&
        scheme != QLatin1String("https"))
        return QStringLiteral("the check was https, the download is not: ") + answer.url;
    static const QRegularExpression hex(QStringLiteral("^[0-9a-fA-F]{64}$"));
    if (!answer.sha256.isEmpty() && !hex.match(answer.sha256).hasMatch())
        return QStringLiteral("checksum is no SHA-256: ") + answer.sha256;
    if (!signature) {
        // The checksum only counts where nothing is signed: a signature binds the bytes.
        expectedSha256 = answer.sha256.toLower();
        return QString();
    }
    if (signature->keyCount() == 0)
        return QStringLiteral("this updater holds no key to check signatures with");
    return signature->checkAnswer(answer.signature, answer.installerName, installedVersion);
}

bool InstallerDownloader::startDownload(const UpdateCheck::Answer &answer,
                                        const QString &installedVersion, const QString &checkUrl)
{
    const QString problem = answerProblem(answer, installedVersion, checkUrl);
    if (!problem.isEmpty()) {
        refuse(problem);
        return false;
    }
    installerName = answer.installerName;
    if (signature)
        signedSize = signature->signedSize();
    if (signedSize >= 0)
        limit = signedSize;
    KeptInstaller::removeAllBut(installerName);
    const QDir temp(QStandardPaths::writableLocation(QStandardPaths::TempLocation));
    removeStaleParts(temp);
    const QString keptPath = KeptInstaller::path(installerName);
    if (QFileInfo::exists(keptPath)) {
        const QString keptRefusal = keptProblem(keptPath);
        if (keptRefusal.isEmpty()) {
            qDebug().noquote() << "kept installer verified, nothing downloaded:" << keptPath;
            finalPath = keptPath;
            kept = true;
            QTimer::singleShot(0, this, &InstallerDownloader::finish);
            return true;
        }
        qDebug().noquote() << "kept installer removed, it no longer verifies:" << keptRefusal;
        QFile::remove(keptPath);
    }
    if (signedSize >= 0) {
        const QString room = roomProblem(temp.path(), signedSize);
        if (!room.isEmpty()) {
            refuse(room);
            tellUser(noRoomText(temp.path(), signedSize));
            return false;
        }
    }
    // A fresh file of our own: nothing at the final name is followed, emptied or
    // replaced before the download has passed every check.
    finalPath = temp.filePath(installerName);
    file = std::make_unique<QTemporaryFile>(finalPath + QStringLiteral(".part-XXXXXX"));
    if (!file->open()) {
        refuse(QStringLiteral("no file can be created in %1: %2")
                   .arg(temp.path(), file->errorString()));
        file.reset();
        return false;
    }
    // A signature binds the bytes; the checksum counts only where nothing is signed.
    if (signature && signature->hashesWhileDownloading())
        follower = std::make_unique<FileFollower>(
            file->fileName(),
            [this](const char *data, qint64 size) { signature->addData(data, size); });
    else if (!expectedSha256.isEmpty())
        follower = std::make_unique<FileFollower>(
            file->fileName(),
            [this](const char *data, qint64 size) { hash.addData(data, int(size)); });
    reply = manager.get(QNetworkRequest(url));
    // Back-pressure: the transfer waits for the file instead of piling up in memory.
    reply->setReadBufferSize(ChunkSize);
    chunk.resize(ChunkSize);
    connect(reply, &QNetworkReply::finished, this, &InstallerDownloader::install);
    connect(reply, &QNetworkReply::metaDataChanged, this, &InstallerDownloader::checkHeaders);
    connect(reply, &QNetworkReply::readyRead, this, &InstallerDownloader::httpReadyRead);

    progressDialog = new ProgressDialog;
    progressDialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(reply, &QNetworkReply::downloadProgress, progressDialog.data(),
            &ProgressDialog::networkReplyProgress);
    progressDialog->show();
    downloadClock.start();
    rate.add(0, 0);
    rateTimer.start(int(qBound(qint64(100), qint64(rate.window() / 4), qint64(1000))));
    return true;
}

void InstallerDownloader::removeStaleParts(const QDir &temp) const
{
    // An updater that was killed (the client ends it when the user quits) leaves its part
    // behind; a live download writes at least every StallTimeoutMs or is abandoned.
    const QFileInfoList parts =
        temp.entryInfoList({installerName + QStringLiteral(".part-*")}, QDir::Files | QDir::Hidden);
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (const QFileInfo &part : parts) {
        if (part.lastModified().msecsTo(now) > 2 * StallTimeoutMs && QFile::remove(part.filePath()))
            qDebug().noquote() << "part of an abandoned download removed:" << part.filePath();
    }
}

QString InstallerDownloader::keptProblem(const QString &path)
{
    if (signature) {
        if (signedSize >= 0 && QFileInfo(path).size() != signedSize)
            return QStringLiteral("%1 bytes, the signature says %2")
                .arg(QFileInfo(path).size())
                .arg(signedSize);
        return signature->checkWholeFile(path);
    }
    if (expectedSha256.isEmpty())
        return QStringLiteral("the answer has nothing to check it against");
    QFile kept(path);
    QCryptographicHash sum(QCryptographicHash::Sha256);
    if (!kept.open(QIODevice::ReadOnly) || !sum.addData(&kept))
        return QStringLiteral("it cannot be read: ") + kept.errorString();
    const QString actual = QString::fromLatin1(sum.result().toHex());
    return actual == expectedSha256
               ? QString()
               : QStringLiteral("SHA-256 %1 instead of %2").arg(actual, expectedSha256);
}

void InstallerDownloader::checkHeaders()
{
    // Redirects and error pages are judged when the reply finishes.
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QVariant header = reply->header(QNetworkRequest::ContentLengthHeader);
    if (status < 200 || status > 299 || !header.isValid())
        return;
    const qint64 length = header.toLongLong();
    if (signedSize >= 0 && length != signedSize)
        abandon(QStringLiteral("the server announces %1 bytes, the signature %2")
                    .arg(length)
                    .arg(signedSize));
    else if (length > limit)
        abandon(QStringLiteral("the server announces %1 bytes, more than the limit of %2")
                    .arg(length)
                    .arg(limit));
    else if (signedSize < 0) {
        const QString folder = QFileInfo(file->fileName()).path();
        const QString room = roomProblem(folder, length);
        if (!room.isEmpty()) {
            notice = noRoomText(folder, length);
            abandon(room);
        }
    }
}

void InstallerDownloader::watchRate()
{
    rate.add(downloadClock.elapsed(), written);
    if (rate.tooSlow()) {
        abandon(QStringLiteral("slower than %1 bytes a second over the last %2 ms")
                    .arg(RateWatch::MinBytesPerSecond)
                    .arg(rate.window()));
        return;
    }
    if (progressDialog) {
        const QVariant header = reply->header(QNetworkRequest::ContentLengthHeader);
        const qint64 total = signedSize >= 0    ? signedSize
                             : header.isValid() ? header.toLongLong()
                                                : -1;
        progressDialog->showRate(written, total, rate.recentRate());
    }
}

void InstallerDownloader::abandon(const QString &reason)
{
    if (!abandonReason.isEmpty() || !reply)
        return;
    abandonReason = reason;
    // Emits finished at once, which refuses and ends the updater.
    reply->abort();
}

void InstallerDownloader::httpReadyRead()
{
    if (!file || !file->isOpen() || !reply || !reply->isOpen() || !abandonReason.isEmpty())
        return;
    // One buffer for the whole download: no allocation (and page faults) per chunk.
    // One byte beyond the limit is enough to know the limit is broken.
    qint64 size;
    while ((size = reply->read(chunk.data(), qMin<qint64>(chunk.size(), limit - written + 1))) >
           0) {
        if (written + size > limit) {
            abandon(signedSize >= 0
                        ? QStringLiteral("more than the signed %1 bytes arrived").arg(limit)
                        : QStringLiteral("more than %1 bytes arrived").arg(limit));
            return;
        }
        if (file->write(chunk.constData(), size) != size) {
            notice = QStringLiteral("更新文件写入失败（%1），磁盘可能已满。请清理磁盘后重新启动客户端。")
                         .arg(QDir::toNativeSeparators(QFileInfo(file->fileName()).path()));
            abandon(QStringLiteral("writing the file failed: ") + file->errorString());
            return;
        }
        written += size;
    }
    if (follower && file->flush())
        follower->advance(written);
}

QString InstallerDownloader::downloadProblem()
{
    if (reply->error() != QNetworkReply::NoError)
        return QStringLiteral("download failed: ") + reply->errorString();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status < 200 || status > 299)
        return QStringLiteral("download answered HTTP status %1").arg(status);
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    if (length.isValid() && length.toLongLong() != written)
        return QStringLiteral("received %1 of %2 bytes").arg(written).arg(length.toLongLong());
    if (signedSize >= 0 && written != signedSize)
        return QStringLiteral("received %1 of the signed %2 bytes").arg(written).arg(signedSize);
    if (!length.isValid() && !signature && expectedSha256.isEmpty())
        return QStringLiteral("download of unknown length with neither signature nor checksum");
    if (!file->flush())
        return QStringLiteral("writing the file failed: ") + file->errorString();
    if (follower && !follower->finish(written))
        return QStringLiteral("the download cannot be read back for its checks");
    if (signature) {
        const QString problem = signature->checkFile(file->fileName());
        if (!problem.isEmpty())
            return problem;
    }
    if (!expectedSha256.isEmpty()) {
        const QString actual = QString::fromLatin1(hash.result().toHex());
        if (actual != expectedSha256)
            return QStringLiteral("SHA-256 %1 instead of %2").arg(actual, expectedSha256);
    }
    return QString();
}

QString InstallerDownloader::putInPlace()
{
    if (!file->setPermissions(file->permissions() | QFileDevice::ExeOwner | QFileDevice::ExeUser))
        return QStringLiteral("the file cannot be made executable: ") + file->errorString();
    // Whatever lies at the final name (an older download, a planted link) is removed,
    // never followed; the rename itself replaces nothing.
    QFile::remove(finalPath);
    if (!file->rename(finalPath))
        return QStringLiteral("the file cannot be put in place as %1: %2")
            .arg(finalPath, file->errorString());
    file->setAutoRemove(false);
    return QString();
}

void InstallerDownloader::install()
{
    if (!file)
        return;
    rateTimer.stop();
    httpReadyRead(); // whatever is still buffered
    QString problem = abandonReason.isEmpty() ? downloadProblem() : abandonReason;
    follower.reset(); // its handle would keep the file from being renamed on Windows
    if (problem.isEmpty())
        problem = putInPlace();
    file.reset(); // removes the download unless it was put in place
    reply->deleteLater();
    reply = nullptr;
    if (!problem.isEmpty()) {
        refuse(problem);
        if (!notice.isEmpty())
            tellUser(notice);
        endProcess();
    }
    finish();
}

void InstallerDownloader::finish()
{
    if (!clientWaits.hasExpired()) {
        startInstaller();
        endProcess();
    }
    // The client went on and the user may be working in it: nothing is ended unasked.
    if (!kept) {
        const QString problem = KeptInstaller::keep(finalPath, installerName);
        if (problem.isEmpty())
            finalPath = KeptInstaller::path(installerName);
        else
            qDebug().noquote() << "installer not kept for the next start:" << problem;
    }
    askToInstall();
    endProcess();
}

void InstallerDownloader::askToInstall()
{
    if (progressDialog)
        progressDialog->close();
    qDebug().noquote() << "installer ready after the client went on, asking:" << finalPath;
    QMessageBox box(QMessageBox::Question, QStringLiteral("更新"),
                    QStringLiteral("新版本已下载完成，是否立即安装？安装时客户端将关闭。"));
    QPushButton *now = box.addButton(QStringLiteral("立即安装"), QMessageBox::AcceptRole);
    box.addButton(QStringLiteral("下次启动时安装"), QMessageBox::RejectRole);
    QTimer::singleShot(QuestionTimeoutMs, &box, &QMessageBox::reject);
    box.exec();
    if (box.clickedButton() == now) {
        startInstaller();
        return;
    }
    qDebug().noquote() << "installer kept for the next start:" << finalPath;
}

void InstallerDownloader::startInstaller()
{
    if (!mainProgram.isEmpty())
        ProgramControl::endProgramByImageName(mainProgram);
    const bool started = ProgramControl::startDetached(finalPath, {QStringLiteral("/SILENT")});
    qDebug() << "installer started:" << finalPath << started;
    if (started || mainProgram.isEmpty())
        return;
    // The client was ended for nothing: bring it back rather than leave the user without.
    const QString client = QDir::current().filePath(mainProgram);
    qDebug() << "installer did not start, client started again:" << client
             << ProgramControl::startDetached(client, {});
}

void InstallerDownloader::endProcess()
{
    std::exit(0);
}
