#include "installerdownloader.h"

#include "programcontrol.h"
#include "progressdialog.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QStandardPaths>

#include <cstdlib>

InstallerDownloader::InstallerDownloader(const QString &mainProgram)
    : mainProgram(mainProgram)
{
    manager.setTransferTimeout(StallTimeoutMs);
    // Ordinary CDN redirects are followed, but never from HTTPS down to HTTP.
    manager.setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
}

InstallerDownloader::~InstallerDownloader() = default;

bool InstallerDownloader::isPlainFileName(const QString &name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..")
        && !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\'))
        && !name.contains(QLatin1Char(':'));
}

bool InstallerDownloader::startDownload(const QString &urlText, const QString &installerName,
                                        const QString &sha256)
{
    if (!isPlainFileName(installerName)) {
        qDebug() << "installer name refused, nothing downloaded:" << installerName;
        return false;
    }
    static const QRegularExpression hex(QStringLiteral("^[0-9a-fA-F]{64}$"));
    if (!sha256.isEmpty() && !hex.match(sha256).hasMatch()) {
        qDebug() << "installer checksum is no SHA-256, nothing downloaded:" << sha256;
        return false;
    }
    expectedSha256 = sha256.toLower();

    const QString path =
        QDir(QStandardPaths::writableLocation(QStandardPaths::TempLocation)).filePath(installerName);
    file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::WriteOnly)) {
        qDebug() << "installer file cannot be written:" << path << file->errorString();
        file.reset();
        return false;
    }
    url = QUrl(urlText, QUrl::TolerantMode);
    reply = manager.get(QNetworkRequest(url));
    // Back-pressure: the transfer waits for the file instead of piling up in memory.
    reply->setReadBufferSize(1 << 20);
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
    const QByteArray data = reply->readAll();
    if (!expectedSha256.isEmpty())
        hash.addData(data);
    if (file->write(data) != data.size())
        writeFailed = true;
    written += data.size();
}

QString InstallerDownloader::failureReason()
{
    if (reply->error() != QNetworkReply::NoError)
        return reply->errorString();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status < 200 || status > 299)
        return QStringLiteral("HTTP status %1").arg(status);
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    if (length.isValid() && length.toLongLong() != written)
        return QStringLiteral("received %1 of %2 bytes").arg(written).arg(length.toLongLong());
    if (writeFailed || !file->flush())
        return QStringLiteral("writing the file failed: ") + file->errorString();
    if (!expectedSha256.isEmpty()) {
        const QString actual = QString::fromLatin1(hash.result().toHex());
        if (actual != expectedSha256)
            return QStringLiteral("SHA-256 %1 instead of %2").arg(actual, expectedSha256);
    }
    return QString();
}

void InstallerDownloader::install()
{
    if (!file)
        return;
    httpReadyRead(); // whatever is still buffered
    const QString reason = failureReason();
    const QString name = QFileInfo(*file).absoluteFilePath();
    file->close();
    file.reset();
    reply->deleteLater();
    reply = nullptr;

    if (!reason.isEmpty()) {
        qDebug() << "installer download failed, nothing installed:" << reason;
        QFile::remove(name);
        endProcess();
        return;
    }
    if (!mainProgram.isEmpty())
        ProgramControl::endProgramByImageName(mainProgram);
    const bool started = ProgramControl::startDetached(name, {QStringLiteral("/SILENT")});
    qDebug() << "installer started:" << name << started;
    endProcess();
}

void InstallerDownloader::endProcess()
{
    std::exit(0);
}
