#include "notificationpresenter.h"

#include "webprofile.h"

#include <QDebug>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QWebEngineNotification>
#include <QWebEngineProfile>
#include <QWidget>

NotificationPresenter::NotificationPresenter(QSystemTrayIcon *tray, QWidget *window)
    : QObject(tray)
    , tray(tray)
    , window(window)
{
    QPointer<NotificationPresenter> self(this);
    webProfile()->setNotificationPresenter(
        [self](std::unique_ptr<QWebEngineNotification> notification) {
            if (self)
                self->present(std::move(notification));
        });
    connect(tray, &QSystemTrayIcon::messageClicked, this, &NotificationPresenter::onMessageClicked);
}

NotificationPresenter::~NotificationPresenter()
{
    webProfile()->setNotificationPresenter({});
}

void NotificationPresenter::present(std::unique_ptr<QWebEngineNotification> notification)
{
    const QString title = notification->title();
    const QString message = notification->message();
    qDebug() << "notification:" << notification->origin().host() << title;
    const QImage image = notification->icon();
    const QIcon icon = image.isNull() ? tray->icon() : QIcon(QPixmap::fromImage(image));
    tray->showMessage(title, message, icon, 10000);
    notification->show();
    // The page may take its notification back; the balloon then means nothing more.
    QWebEngineNotification *raw = notification.get();
    connect(raw, &QWebEngineNotification::closed, this, [this, raw] {
        if (shown.get() == raw)
            shown.release()->deleteLater();
    });
    shown = std::move(notification);
    emit presented(title, message);
}

void NotificationPresenter::otherMessageShown()
{
    shown.reset();
}

void NotificationPresenter::onMessageClicked()
{
    if (window) {
        window->showMaximized();
        window->raise();
        window->activateWindow();
    }
    if (shown)
        shown->click();
}
