#pragma once

#include <QObject>
#include <QPointer>

#include <memory>

class QSystemTrayIcon;
class QWebEngineNotification;
class QWidget;

// Shows the web notifications of the default profile as tray balloons; a click on
// the balloon brings the window back and tells the page. Which pages may notify is
// the plug-ins' permission policy: only the service's own.
class NotificationPresenter final : public QObject
{
    Q_OBJECT

public:
    NotificationPresenter(QSystemTrayIcon *tray, QWidget *window);
    ~NotificationPresenter() override;

    void present(std::unique_ptr<QWebEngineNotification> notification);
    // The tray shows a balloon of the client's own: a click on it is no click on the
    // last notification.
    void otherMessageShown();

signals:
    // After the balloon was asked for.
    void presented(const QString &title, const QString &message);

private:
    void onMessageClicked();

    QSystemTrayIcon *tray;
    QPointer<QWidget> window;
    std::unique_ptr<QWebEngineNotification> shown;
};
