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
};
