#include "downloadslist.h"

#include "desktophandoff.h"
#include "downloadfailure.h"
#include "loginrecordlocation.h"

#include "qtcompat.h"
#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QUuid>

static const char *const stateNames[] = {"running", "completed", "cancelled", "failed"};

DownloadsList *DownloadsList::instance()
{
    // Goes with the application, after every view and download item.
    static QPointer<DownloadsList> list;
    if (!list)
        list = new DownloadsList(defaultPath(), QCoreApplication::instance());
    return list;
}

QString DownloadsList::defaultPath()
{
    return loginRecordDir() + QStringLiteral("/downloads.json");
}

DownloadsList::DownloadsList(const QString &filePath, QObject *parent)
    : QObject(parent)
    , filePath(filePath)
{
    load();
}

bool DownloadsList::parse(const QByteArray &text, QVector<DownloadEntry> *entries)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text, &error);
    const QJsonValue downloads = document.object().value(QStringLiteral("downloads"));
    if (error.error != QJsonParseError::NoError || !downloads.isArray())
        return false;
    entries->clear();
    for (const QJsonValue &value : downloads.toArray()) {
        const QJsonObject object = value.toObject();
        DownloadEntry entry;
        entry.id = object.value(QStringLiteral("id")).toString();
        entry.path = object.value(QStringLiteral("path")).toString();
        const QString state = object.value(QStringLiteral("state")).toString();
        const auto known = std::find(std::begin(stateNames), std::end(stateNames), state);
        if (entry.id.isEmpty() || !QFileInfo(entry.path).isAbsolute() ||
            known == std::end(stateNames)) {
            qDebug() << "downloads list: entry skipped:"
                     << QJsonDocument(object).toJson(QJsonDocument::Compact);
            continue;
        }
        entry.state = DownloadEntry::State(known - std::begin(stateNames));
        entry.received = qint64(object.value(QStringLiteral("received")).toDouble());
        entry.total = qint64(object.value(QStringLiteral("total")).toDouble(-1));
        entry.reason = object.value(QStringLiteral("reason")).toString();
        entry.started = QDateTime::fromString(object.value(QStringLiteral("started")).toString(),
                                              Qt::ISODateWithMs);
        entry.fileSize = qint64(object.value(QStringLiteral("fileSize")).toDouble(-1));
        const QJsonValue modified = object.value(QStringLiteral("fileModified"));
        if (modified.isDouble())
            entry.fileModified = QDateTime::fromMSecsSinceEpoch(qint64(modified.toDouble()));
        // A transfer of an earlier run ended with that run.
        if (entry.state == DownloadEntry::Running) {
            entry.state = DownloadEntry::Failed;
            entry.reason = QStringLiteral("客户端退出时未完成");
        }
        entries->append(entry);
        if (entries->size() == maxEntries)
            break;
    }
    return true;
}

QByteArray DownloadsList::serialize(const QVector<DownloadEntry> &entries)
{
    QJsonArray downloads;
    for (const DownloadEntry &entry : entries) {
        QJsonObject object{
            {QStringLiteral("id"), entry.id},
            {QStringLiteral("path"), entry.path},
            {QStringLiteral("received"), double(entry.received)},
            {QStringLiteral("total"), double(entry.total)},
            {QStringLiteral("state"), QLatin1String(stateNames[entry.state])},
            {QStringLiteral("started"), entry.started.toString(Qt::ISODateWithMs)},
        };
        if (!entry.reason.isEmpty())
            object.insert(QStringLiteral("reason"), entry.reason);
        if (entry.fileSize >= 0 && entry.fileModified.isValid()) {
            object.insert(QStringLiteral("fileSize"), double(entry.fileSize));
            object.insert(QStringLiteral("fileModified"),
                          double(entry.fileModified.toMSecsSinceEpoch()));
        }
        downloads.append(object);
    }
    return QJsonDocument(QJsonObject{{QStringLiteral("downloads"), downloads}})
        .toJson(QJsonDocument::Indented);
}

bool DownloadsList::fileUnchanged(const DownloadEntry &entry)
{
    if (entry.state != DownloadEntry::Completed || !entry.fileModified.isValid())
        return false;
    const QFileInfo info(entry.path);
    return info.isFile() && info.size() == entry.fileSize &&
           info.lastModified().toMSecsSinceEpoch() == entry.fileModified.toMSecsSinceEpoch();
}

int DownloadsList::indexOf(const QString &id) const
{
    for (int i = 0; i < list.size(); ++i)
        if (list.at(i).id == id)
            return i;
    return -1;
}

void DownloadsList::load()
{
    QFile file(filePath);
    if (!file.exists())
        return;
    const bool tooLarge = file.size() > maxFileBytes;
    if (!tooLarge && file.open(QIODevice::ReadOnly) && parse(file.read(maxFileBytes), &list))
        return;
    file.close();
    list.clear();
    // Kept for whoever wants to look at it; the list starts empty.
    const QString aside =
        filePath + QStringLiteral(".damaged-") +
        QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
    qWarning().noquote() << (tooLarge ? "downloads list too large," : "downloads list unreadable,")
                         << "kept aside as:" << aside;
    if (!QFile::rename(filePath, aside))
        qWarning().noquote() << "downloads list could not be kept aside:" << filePath;
}

void DownloadsList::save()
{
    if (!QDir().mkpath(QFileInfo(filePath).absolutePath())) {
        qWarning().noquote() << "downloads list not stored, cannot create the folder of"
                             << filePath;
        return;
    }
    // Written aside and renamed, owner-only from the start: the paths tell what the
    // user downloaded, and a crash mid-write must not destroy the earlier list.
    QSaveFile file(filePath);
    if (!file.open(QIODevice::WriteOnly)) {
        qWarning() << "downloads list not stored:" << file.errorString();
        return;
    }
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    file.write(serialize(list));
    if (!file.commit())
        qWarning() << "downloads list not stored:" << file.errorString();
}

void DownloadsList::track(QWebEngineDownloadRequest *item)
{
    const QString path = QDir(item->downloadDirectory()).filePath(item->downloadFileName());
    QString id = idOfItem.value(item->id());
    int index = indexOf(id);
    if (index < 0) {
        id = QUuid::createUuid().toString(QUuid::WithoutBraces);
        DownloadEntry entry;
        entry.id = id;
        entry.started = QDateTime::currentDateTime();
        list.prepend(entry);
        index = 0;
        // The oldest finished ones make room; running ones stay listed.
        for (int i = list.size() - 1; i >= 0 && list.size() > maxEntries; --i)
            if (list.at(i).state != DownloadEntry::Running)
                list.remove(i);
        idOfItem.insert(item->id(), id);
    }
    DownloadEntry &entry = list[index];
    entry.path = QDir::cleanPath(path);
    entry.state = DownloadEntry::Running;
    entry.reason.clear();
    entry.total = item->totalBytes();
    itemOfId.insert(id, item);
    save();
    emit changed();
    updateRunningCount();

    if (item->property("mervoListed").toBool())
        return;
    item->setProperty("mervoListed", true);
    QtCompat::onDownloadProgress(item, this, [this, id](qint64 received, qint64 total) {
        const int at = indexOf(id);
        if (at < 0 || list.at(at).state != DownloadEntry::Running)
            return;
        list[at].received = received;
        list[at].total = total;
        emit progressed(id);
    });
    connect(item, &QWebEngineDownloadRequest::stateChanged, this, [this, item] {
        onStateChanged(item);
        updateRunningCount();
    });
    QtCompat::onDownloadFinished(item, this, [this, item] { onStateChanged(item); });
    connect(item, &QObject::destroyed, this, &DownloadsList::updateRunningCount,
            Qt::QueuedConnection);
}

int DownloadsList::runningCount() const
{
    int running = 0;
    for (const QPointer<QWebEngineDownloadRequest> &item : itemOfId)
        if (item && item->state() == QWebEngineDownloadRequest::DownloadInProgress)
            ++running;
    return running;
}

void DownloadsList::cancelAll()
{
    const auto items = itemOfId.values();
    for (const QPointer<QWebEngineDownloadRequest> &item : items)
        if (item && item->state() == QWebEngineDownloadRequest::DownloadInProgress)
            item->cancel();
}

void DownloadsList::updateRunningCount()
{
    const int now = runningCount();
    if (now == lastRunningCount)
        return;
    lastRunningCount = now;
    emit runningCountChanged(now);
}

void DownloadsList::onStateChanged(QWebEngineDownloadRequest *item)
{
    const QString id = idOfItem.value(item->id());
    const int index = indexOf(id);
    // A replaced item of a resumed transfer speaks no more for the entry.
    if (index < 0 || itemOfId.value(id) != item)
        return;
    DownloadEntry &entry = list[index];
    const DownloadEntry::State before = entry.state;
    switch (item->state()) {
    case QWebEngineDownloadRequest::DownloadCompleted: {
        const QFileInfo info(entry.path);
        entry.state = DownloadEntry::Completed;
        entry.fileSize = info.size();
        entry.fileModified = info.lastModified();
        entry.received = entry.total = info.size();
        break;
    }
    case QWebEngineDownloadRequest::DownloadCancelled:
        // Giving up on a failed download keeps its reason in the list.
        if (entry.state != DownloadEntry::Failed)
            entry.state = DownloadEntry::Cancelled;
        break;
    case QWebEngineDownloadRequest::DownloadInterrupted:
        entry.state = DownloadEntry::Failed;
        entry.reason = DownloadFailure::reasonText(item->interruptReason());
        break;
    case QWebEngineDownloadRequest::DownloadInProgress:
        // Resumed after a failure.
        entry.state = DownloadEntry::Running;
        entry.reason.clear();
        break;
    default:
        return;
    }
    if (entry.state == before)
        return;
    save();
    emit changed();
    if (entry.state == DownloadEntry::Completed) {
        DesktopHandOff::allowDownloadedFile(entry.path);
        emit completed(QFileInfo(entry.path).fileName());
    }
}

void DownloadsList::markFailed(QWebEngineDownloadRequest *item, const QString &reason)
{
    const QString id = idOfItem.value(item->id());
    const int index = indexOf(id);
    if (index < 0 || list[index].state == DownloadEntry::Failed)
        return;
    list[index].state = DownloadEntry::Failed;
    list[index].reason = reason;
    save();
    emit changed();
}

bool DownloadsList::cancel(const QString &id)
{
    const QPointer<QWebEngineDownloadRequest> item = itemOfId.value(id);
    const int index = indexOf(id);
    if (!item || index < 0 || list.at(index).state != DownloadEntry::Running)
        return false;
    item->cancel();
    return true;
}

void DownloadsList::remove(const QString &id)
{
    const int index = indexOf(id);
    if (index < 0 || list.at(index).state == DownloadEntry::Running)
        return;
    list.remove(index);
    itemOfId.remove(id);
    save();
    emit changed();
}

void DownloadsList::clearFinished()
{
    const int before = list.size();
    list.erase(std::remove_if(list.begin(), list.end(),
                              [](const DownloadEntry &entry) {
                                  return entry.state != DownloadEntry::Running;
                              }),
               list.end());
    if (list.size() == before)
        return;
    save();
    emit changed();
}
