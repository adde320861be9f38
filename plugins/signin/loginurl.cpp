#include "loginurl.h"

#include "clientsettings.h"

#include <QDebug>
#include <QStringList>

#include <cstdlib>

namespace LoginUrl {

QString pickLoginBase(const QString &loginUrls, const QString &deviceId)
{
    const QStringList candidates = loginUrls.split(QLatin1Char('|'), Qt::KeepEmptyParts);
    quint32 h = 0; // unsigned arithmetic wraps exactly like the signed 32-bit original
    for (const QChar c : deviceId)
        h = h * 31u + quint32(c.toLatin1() & 0xff);
    const qint32 r = qint32(h) % qint32(candidates.size());
    return candidates.at(std::abs(r));
}

QString buildLoginUrl(const QString &deviceId)
{
    const ClientSettings settings;
    const QString source = settings.text(QStringLiteral("Sys/Source"));
    QString base = pickLoginBase(settings.text(QStringLiteral("Sys/LoginUrl")), deviceId);
    qDebug() << "select:" << base;
    if (base.isEmpty())
        base = source.section(QLatin1Char('|'), 0, 0);
    const QString url = QStringLiteral("%1?source=%2").arg(base, source);
    qDebug() << "login url:" << url;
    return url;
}

bool isUsable(const QString &loginUrl)
{
    const QUrl url(loginUrl, QUrl::StrictMode);
    return url.isValid() && !url.host().isEmpty() &&
           (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"));
}

QUrl setupIncompletePage()
{
    return QUrl(QStringLiteral("qrc:/setup-incomplete.html"));
}

} // namespace LoginUrl
