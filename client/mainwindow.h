#pragma once

#include <QMainWindow>
#include <QStringList>
#include <QSystemTrayIcon>

namespace Ui {
class MainWindow;
}

class HeapTrim;
class NotificationPresenter;
class PluginInterface;
class QCloseEvent;
class QDialog;
class QAction;
class QKeyEvent;
class QMenu;

// The client's one window: hosts one module plug-in at a time, owns the tray
// icon and its menu, and decides what closing means.
class MainWindow final : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    void setCentralPlugin(PluginInterface *plugin, QString argument);
    void reloadView();
    void setTrayToolTip(const QStringList &lines);
    QDialog *openDevTools();
    // A balloon, when the window is hidden or the workspace gone; its click opens the list.
    void downloadFinished(const QString &fileName);

public slots:
    void slt_ActivatedTrayIcon(QSystemTrayIcon::ActivationReason reason);
    void slt_CloseEvent();
    void slt_EnableMultiClient(bool enabled);
    void slt_EnableAutostart(bool enabled);

protected:
    void keyReleaseEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void handleClose(QCloseEvent *event);
    // Whether quitting may go on; asks first when downloads are running.
    bool confirmQuit();
    void quitFromClose(QCloseEvent *event);
    void onLoadStarted();
    void onLoadFinished(bool ok);
    QString currentPluginId() const;
    void addDownloadsAndAutostart();
    // Makes the user's autostart entry what a managed Autostart says, and locks the item.
    void applyManagedAutostart();
    static void showManaged(QAction *action, bool managed);

    Ui::MainWindow *ui;
    PluginInterface *currentPlugin = nullptr;
    QSystemTrayIcon *trayIcon = nullptr;
    QMenu *trayMenu = nullptr;
    NotificationPresenter *notifications = nullptr;
    HeapTrim *heapTrim = nullptr;
    QAction *autostartAction = nullptr;
    bool downloadBalloonShown = false;
};
