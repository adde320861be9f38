#pragma once

#include <QProgressDialog>

// The small pop-up that shows the installer download.
class ProgressDialog final : public QProgressDialog
{
    Q_OBJECT

public:
    explicit ProgressDialog(QWidget *parent = nullptr);

public slots:
    // A negative total (unknown size) shows a busy indicator until the size is known.
    void networkReplyProgress(qint64 bytesRead, qint64 totalBytes);
    // A second line with the remaining size (or what arrived, when the total is unknown)
    // and the speed, so that a slow download is seen to move.
    void showRate(qint64 bytesRead, qint64 totalBytes, qint64 bytesPerSecond);

    static QString rateText(qint64 bytesRead, qint64 totalBytes, qint64 bytesPerSecond);
};
