#pragma once

#include <QFile>
#include <QString>

// One of the client's own pages (a resource such as ":/outage.html") as text, to write
// over the engine's error page; fallback when the resource is missing. Written into the
// page as text, a byte-order mark would come before the doctype, so it goes.
inline QString clientPageHtml(const QString &resource, const QString &fallback)
{
    QFile file(resource);
    if (!file.open(QIODevice::ReadOnly))
        return fallback;
    QString html = QString::fromUtf8(file.readAll());
    if (html.startsWith(QChar(0xfeff)))
        html.remove(0, 1);
    return html;
}
