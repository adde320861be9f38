#include "updaterlaunch.h"

#include "loginrecordlocation.h"
#include "programcontrol.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <exception>

namespace UpdaterLaunch {

QString programPath()
{
    return QDir::current().filePath(ProgramControl::executableName(QStringLiteral("MervoUpgrade")));
}

QStringList arguments()
{
    const QString program = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    QStringList list{QStringLiteral("-m ") + program};
    appendLoginArguments(list);
    return list;
}

void appendLoginArguments(QStringList &list)
{
    try {
        QFile file(loginRecordPath());
        if (!file.exists() || !file.open(QIODevice::ReadOnly))
            return;
        const QJsonDocument doc = QJsonDocument::fromJson(file.readAll());
        if (doc.isEmpty() || !doc.isObject())
            return;
        const QJsonObject record = doc.object();
        if (record.contains(QStringLiteral("companyName")))
            list << QStringLiteral("-c ") + record.value(QStringLiteral("companyName")).toString();
        if (record.contains(QStringLiteral("productId")))
            list << QStringLiteral("-p ") + record.value(QStringLiteral("productId")).toString();
    } catch (const std::exception &ex) {
        qDebug() << ex.what();
    }
}

} // namespace UpdaterLaunch
