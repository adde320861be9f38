#include "installerdownloader.h"

#include "filefollower.h"
#include "programcontrol.h"
#include "progressdialog.h"
#include "signaturecheck.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <cstdlib>

InstallerDownloader::InstallerDownloader(const QString &mainProgram, const QStringList &keys,
                                         bool unsignedAccepted)
    : mainProgram(mainProgram)
{
    if (!unsignedAccepted)
        signature = std::make_unique<SignatureCheck>(keys);
    manager.setTransferTimeout(StallTimeoutMs);
    // Ordinary CDN redirects are followed, but never from HTTPS down to HTTP.
    manager.setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
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
    // A fresh file of our own: nothing at the final name is followed, emptied or
    // replaced before the download has passed every check.
    const QDir temp(QStandardPaths::writableLocation(QStandardPaths::TempLocation));
    finalPath = temp.filePath(answer.installerName);
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
    connect(reply, &QNetworkReply::readyRead, this, &InstallerDownloader::httpReadyRead);

    progressDialog = new ProgressDialog;
    progressDialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(reply, &QNetworkReply::downloadProgress, progressDialog.data(),
            &ProgressDialog::networkReplyProgress);
    progressDialog->show();
    return true;
}

void InstallerDownloader::httpReadyRead()
{
    if (!file || !file->isOpen())
        return;
    // One buffer for the whole download: no allocation (and page faults) per chunk.
    qint64 size;
    while ((size = reply->read(chunk.data(), chunk.size())) > 0) {
        if (file->write(chunk.constData(), size) != size)
            writeFailed = true;
        written += size;
    }
    if (follower && !writeFailed && file->flush())
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
    if (!length.isValid() && !signature && expectedSha256.isEmpty())
        return QStringLiteral("download of unknown length with neither signature nor checksum");
    if (writeFailed || !file->flush())
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
    httpReadyRead(); // whatever is still buffered
    QString problem = downloadProblem();
    follower.reset(); // its handle would keep the file from being renamed on Windows
    if (problem.isEmpty())
        problem = putInPlace();
    file.reset(); // removes the download unless it was put in place
    reply->deleteLater();
    reply = nullptr;
    if (!problem.isEmpty())
        refuse(problem);
    else
        startInstaller();
    endProcess();
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
