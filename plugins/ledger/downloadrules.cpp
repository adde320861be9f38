#include "downloadrules.h"

#include "jsstring.h"

#include <QFileInfo>
#include <QStringList>

namespace DownloadRules {

QString filterFor(const QString &suggestedFileName)
{
    const QString suffix = QFileInfo(suggestedFileName).suffix();
    return QStringLiteral("%1 files(*.%2)").arg(suffix, suffix);
}

bool isDriveRoot(const QString &folder)
{
    const QStringList parts = folder.split(QLatin1Char(':'), Qt::KeepEmptyParts);
    return parts.size() == 2 && (parts.at(1).isEmpty() || parts.at(1) == QLatin1String("/"));
}

int percent(qint64 received, qint64 total)
{
    if (total == 0)
        return 100;
    if (total < 0 || received < 0)
        return 0;
    return int(qMin<qint64>(100, received * 100 / total));
}

QString completionScript(const QString &fileName)
{
    return QStringLiteral("complate(%1)").arg(jsStringLiteral(fileName));
}

QString progressScript(int percent)
{
    return QStringLiteral("changeProcess(%1,'下载中...')").arg(percent);
}

} // namespace DownloadRules
