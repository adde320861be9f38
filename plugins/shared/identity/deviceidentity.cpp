#include "deviceidentity.h"

#include "clientsettings.h"
#include "loginrecord.h"
#include "machineidentity.h"

#include <QDateTime>
#include <QDebug>
#include <QHostInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <cerrno>
#include <cstring>
#include <exception>

namespace DeviceIdentity {

Sources systemSources()
{
    return Sources{&MachineIdentity::processorIdText, &MachineIdentity::diskSerialTexts};
}

static QString timestamp()
{
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddhhmmss"));
}

QString deviceId(const Sources &sources)
{
    ClientSettings settings;
    QString pid = settings.text(QStringLiteral("Sys/PID"));
    QString hid = settings.text(QStringLiteral("Sys/HID"));

    if (pid.isEmpty()) {
        pid = sources.processorId();
        settings.setValue(QStringLiteral("/Sys/PID"), pid);
    }
    if (hid.isEmpty()) {
        try {
            QStringList serials = sources.diskSerials();
            if (serials.isEmpty()) {
                hid = timestamp();
            } else {
                serials.sort(Qt::CaseSensitive);
                hid = serials.first();
            }
        } catch (const std::exception &ex) {
            const char *text = ex.what();
            qCritical().noquote() << (text && *text ? text : "Unknown exception")
                                  << QStringLiteral("(%1)").arg(QString::fromLocal8Bit(std::strerror(errno)));
            hid = timestamp();
        }
        settings.setValue(QStringLiteral("/Sys/HID"), hid);
    }
    const QString id = LoginRecord::md5Hex(pid + hid);
    qDebug() << "wi:" << id;
    return id;
}

QString computerInfo()
{
    const QJsonObject info{{QStringLiteral("computerName"), QHostInfo::localHostName()}};
    return QString::fromUtf8(QJsonDocument(info).toJson(QJsonDocument::Indented));
}

} // namespace DeviceIdentity
