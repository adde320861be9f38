#include "progressdialog.h"

#include <QLocale>

namespace {
QString headline()
{
    return ProgressDialog::tr("正在下载，稍后将进行安装...");
}
} // namespace

ProgressDialog::ProgressDialog(QWidget *parent)
    : QProgressDialog(parent)
{
    setWindowFlags(Qt::Popup);
    setLabelText(headline());
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
    // Shown in thousandths: fits the dialog's int range for any size, and repaints
    // at most a thousand times instead of once per network packet.
    const int permille = totalBytes > 0 ? int(qMin<qint64>(1000, bytesRead * 1000 / totalBytes)) : 1000;
    if (maximum() == 1000 && value() == permille)
        return;
    setMaximum(1000);
    setValue(permille);
}

QString ProgressDialog::rateText(qint64 bytesRead, qint64 totalBytes, qint64 bytesPerSecond)
{
    const QLocale locale;
    const QString speed = locale.formattedDataSize(bytesPerSecond) + QStringLiteral("/秒");
    if (totalBytes < 0)
        return QStringLiteral("已下载 %1，%2").arg(locale.formattedDataSize(bytesRead), speed);
    return QStringLiteral("剩余 %1，%2")
        .arg(locale.formattedDataSize(qMax<qint64>(0, totalBytes - bytesRead)), speed);
}

void ProgressDialog::showRate(qint64 bytesRead, qint64 totalBytes, qint64 bytesPerSecond)
{
    setLabelText(headline() + QLatin1Char('\n') + rateText(bytesRead, totalBytes, bytesPerSecond));
}
