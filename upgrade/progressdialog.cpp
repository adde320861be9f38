#include "progressdialog.h"

#include <limits>

ProgressDialog::ProgressDialog(QWidget *parent)
    : QProgressDialog(parent)
{
    setWindowFlags(Qt::Popup);
    setLabelText(tr("正在下载，稍后将进行安装..."));
    setMinimum(0);
    setValue(0);
    setMinimumDuration(0);
    setMinimumSize(400, 75);
    setCancelButton(nullptr);
}

void ProgressDialog::networkReplyProgress(qint64 bytesRead, qint64 totalBytes)
{
    if (totalBytes < 0) {
        setRange(0, 0);
        return;
    }
    // Sizes beyond 2 GiB are scaled to kilobytes so they fit the dialog's int range.
    const bool scale = totalBytes > std::numeric_limits<int>::max();
    setMaximum(int(scale ? totalBytes / 1024 : totalBytes));
    setValue(int(scale ? bytesRead / 1024 : bytesRead));
}
