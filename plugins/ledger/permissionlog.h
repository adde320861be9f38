#pragma once

#include <QDebug>
#include <QMetaEnum>
#include <QUrl>
#include <QWebEnginePage>

// The log line both workspace pages write for a permission request.
inline void logPermissionRequest(const QUrl &origin, QWebEnginePage::Feature feature)
{
    qDebug().noquote() << "PermissionRequested ProductMainPageurl:" << origin.toString()
                       << " feature:" << QMetaEnum::fromType<QWebEnginePage::Feature>().valueToKey(feature);
}
