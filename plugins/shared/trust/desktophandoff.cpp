#include "desktophandoff.h"

#include <QDebug>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QSet>

namespace DesktopHandOff {

static QSet<QString> &downloadedPaths()
{
    static QSet<QString> paths;
    return paths;
}

static QString normalPath(const QString &path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

bool isChatScheme(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("aliim") || scheme == QLatin1String("tencent") ||
           scheme == QLatin1String("kelda");
}

bool allows(const QUrl &url)
{
    if (!url.isValid())
        return false;
    if (url.isLocalFile())
        return !url.hasQuery() && !url.hasFragment() &&
               downloadedPaths().contains(normalPath(url.toLocalFile()));
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https"))
        return !url.host().isEmpty();
    return scheme == QLatin1String("mailto") || isChatScheme(url);
}

bool open(const QUrl &url)
{
    if (!allows(url)) {
        qDebug().noquote() << "desktop hand-off refused:"
                           << (url.isValid() ? url.toString()
                                             : QStringLiteral("(malformed address)"));
        return false;
    }
    if (QDesktopServices::openUrl(url))
        return true;
    qDebug().noquote() << "desktop hand-off failed, nothing opens it:" << url.toString();
    return false;
}

void allowDownloadedFile(const QString &path)
{
    downloadedPaths().insert(normalPath(path));
    downloadedPaths().insert(normalPath(QFileInfo(path).absolutePath()));
}

} // namespace DesktopHandOff
