#include "navigationrules.h"

namespace NavigationRules {

QString baseHostOf(const QString &url)
{
    const QStringList parts = url.split(QLatin1Char('/'), Qt::KeepEmptyParts);
    return parts.size() >= 3 ? parts.at(2) : QString();
}

bool leavesService(const QString &url, const QString &baseHost, QWebEnginePage::NavigationType type,
                   bool isMainFrame)
{
    const bool typedOrRedirect = type == QWebEnginePage::NavigationTypeTyped ||
                                 type == QWebEnginePage::NavigationTypeRedirect;
    return !url.contains(baseHost) && typedOrRedirect && isMainFrame &&
           !url.contains(QLatin1String("tencent")) && !url.contains(QLatin1String("aliim:")) &&
           !url.contains(QLatin1String("kelda:"));
}

QStringList downloadEntries(const QString &setting)
{
    QString entries =
        setting.isEmpty()
            ? QStringLiteral(".zip|.xls|.xlsx|.exe|.msi|Download.tylx|FileExport.tylx")
            : setting;
    entries += QStringLiteral("|.jpeg|.gif|.txt|.doc|.docx|.ppt|.rar|.zip|.7z|aliim:|kelda:|"
                              "tencent:|FileExport.tylx|.png|.jpg|.bmp|Default.tylx?id=");
    return entries.split(QLatin1Char('|'), Qt::KeepEmptyParts);
}

PassResult secondaryPass(const QString &url, const QString &baseHost, const QStringList &entries)
{
    for (const QString &entry : entries) {
        if (url.contains(entry))
            return {true, true};
    }
    return {url.contains(baseHost), false};
}

int progressBarValue(int p)
{
    if (p >= 21 && p <= 99)
        return p;
    if (p >= 1 && p <= 20)
        return -1;
    return 0;
}

} // namespace NavigationRules
