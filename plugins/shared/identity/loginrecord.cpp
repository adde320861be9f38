#include "loginrecord.h"

#include "loginrecordlocation.h"

#include <QCryptographicHash>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace LoginRecord {

QString path()
{
    return loginRecordPath();
}

QString md5Hex(const QString &text)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(text.toLatin1(), QCryptographicHash::Md5).toHex());
}

void save(const QString &productName, const QString &companyName, const QString &userName,
          const QString &productId, const QString &token, const QString &quickLoginCode)
{
    const QJsonObject record{
        {QStringLiteral("companyName"), companyName},
        {QStringLiteral("productId"), productId},
        {QStringLiteral("productName"), productName},
        {QStringLiteral("quickLoginCode"), md5Hex(quickLoginCode)},
        {QStringLiteral("token"), token},
        {QStringLiteral("userName"), userName},
    };
    // The whole path, since a fresh profile has none of it yet.
    if (!QDir().mkpath(loginRecordDir())) {
        qWarning() << "login record not stored, cannot create" << loginRecordDir();
        return;
    }
    // Written aside and renamed, owner-only from the start: the token is in clear,
    // and a crash mid-write must not destroy the previous record.
    QSaveFile file(path());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        qWarning() << "login record not stored:" << file.errorString();
        return;
    }
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    file.write(QJsonDocument(record).toJson(QJsonDocument::Indented));
    if (!file.commit())
        qWarning() << "login record not stored:" << file.errorString();
}

Loaded load()
{
    qDebug() << "get local login file:" << loginRecordDir();
    Loaded result;
    QFile file(path());
    const bool existed = file.exists();
    if (!file.open(QIODevice::ReadWrite | QIODevice::Text))
        return result;
    if (!existed)
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    result.opened = true;
    const QJsonObject record = QJsonDocument::fromJson(file.readAll()).object();
    for (const char *key : {"productName", "companyName", "userName", "productId"}) {
        const QJsonValue value = record.value(QLatin1String(key));
        if (value.isDouble() && value.toDouble() == 0)
            continue;
        result.values.insert(QLatin1String(key), value.toString());
    }
    return result;
}

QString userAnswer(const Loaded &record)
{
    QJsonObject answer;
    for (const char *key : {"companyName", "userName", "productId"}) {
        const QString name = QLatin1String(key);
        if (record.values.contains(name))
            answer.insert(name, record.values.value(name));
    }
    return QString::fromUtf8(QJsonDocument(answer).toJson(QJsonDocument::Indented));
}

QString loadIfCodeMatches(const QString &code)
{
    qDebug() << "get local login file:" << loginRecordDir();
    QFile file(path());
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QString();
    const QByteArray text = file.readAll();
    const QJsonValue stored =
        QJsonDocument::fromJson(text).object().value(QStringLiteral("quickLoginCode"));
    if (!stored.isString() || stored.toString() != md5Hex(code))
        return QString();
    return QString::fromUtf8(text);
}

void erase()
{
    QFile::remove(path());
}

} // namespace LoginRecord
