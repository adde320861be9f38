#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "autostart.h"
#include "clientsettings.h"
#include "closedialog.h"
#include "heaptrim.h"
#include "jsstring.h"
#include "notificationpresenter.h"
#include "plugininterface.h"
#include "pluginmanager.h"
#include "quitquestion.h"
#include "webprofile.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDebug>
#include <QDialog>
#include <QKeyEvent>
#include <QLayout>
#include <QMenu>
#include <QMessageBox>
#include <QPluginLoader>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
{
    ui->setupUi(this);

    trayIcon = new QSystemTrayIcon(this);
    trayIcon->setIcon(QIcon(QStringLiteral(":/logo.ico")));
    trayIcon->setToolTip(QStringLiteral("Mervo客户端"));
    trayIcon->setVisible(true);
    connect(trayIcon, &QSystemTrayIcon::activated, this, &MainWindow::slt_ActivatedTrayIcon);
    notifications = new NotificationPresenter(trayIcon, this);
    heapTrim = new HeapTrim(this);

    trayMenu = new QMenu(this);
    auto *quitAction = new QAction(QStringLiteral("退出客户端"), this);
    connect(quitAction, &QAction::triggered, this, &MainWindow::slt_CloseEvent);
    trayIcon->setContextMenu(trayMenu);

    const ClientSettings settings;
    const bool multiClient = settings.value(QStringLiteral("Sys/MultiClient"), false).toBool();
    const QString version = settings.text(QStringLiteral("Sys/Version"));
    // Items the administrator decided show what was decided, and cannot be changed.
    trayMenu->setToolTipsVisible(true);

    auto *multiAction = new QAction(QStringLiteral("允许多个实例"), this);
    multiAction->setCheckable(true);
    multiAction->setChecked(multiClient);
    showManaged(multiAction, settings.isManaged(QStringLiteral("Sys/MultiClient")));
    connect(multiAction, &QAction::triggered, this, &MainWindow::slt_EnableMultiClient);
    trayMenu->addAction(multiAction);
    trayMenu->addSeparator();
    if (!version.isEmpty()) {
        auto *versionAction = new QAction(QStringLiteral("版本号:") + version, this);
        versionAction->setEnabled(false);
        trayMenu->addAction(versionAction);
        trayMenu->addSeparator();
    }
    addDownloadsAndAutostart();
    trayMenu->addAction(quitAction);

    const auto loaded = PluginManager::instance()->loadPlugins(this);
    for (QPluginLoader *loader : loaded) {
        auto *plugin = qobject_cast<PluginInterface *>(loader->instance());
        if (!plugin)
            continue;
        if (QAction *action = plugin->getAction())
            trayMenu->insertAction(trayMenu->actions().constLast(), action);
        if (plugin->type() == LoginModule)
            setCentralPlugin(plugin, QString());
    }

    setMinimumHeight(height());
    setMinimumWidth(width());
}

void MainWindow::addDownloadsAndAutostart()
{
    auto *downloadsAction = new QAction(QStringLiteral("下载列表"), this);
    connect(downloadsAction, &QAction::triggered, this,
            [] { PluginManager::instance()->sendMessage(ShowDownloads, QString()); });
    trayMenu->addAction(downloadsAction);
    connect(trayIcon, &QSystemTrayIcon::messageClicked, this, [this] {
        if (downloadBalloonShown)
            PluginManager::instance()->sendMessage(ShowDownloads, QString());
    });
    connect(notifications, &NotificationPresenter::presented, this,
            [this] { downloadBalloonShown = false; });

    autostartAction = new QAction(QStringLiteral("开机自动启动"), this);
    autostartAction->setCheckable(true);
    applyManagedAutostart();
    connect(autostartAction, &QAction::triggered, this, &MainWindow::slt_EnableAutostart);
    // The user may remove the entry outside the client: the system knows, not config.ini.
    connect(trayMenu, &QMenu::aboutToShow, this,
            [this] { autostartAction->setChecked(Autostart::isEnabled()); });
    autostartAction->setChecked(Autostart::isEnabled());
    trayMenu->addAction(autostartAction);
}

void MainWindow::showManaged(QAction *action, bool managed)
{
    if (!managed)
        return;
    action->setEnabled(false);
    action->setToolTip(QStringLiteral("由管理员设置"));
}

void MainWindow::applyManagedAutostart()
{
    const ClientSettings settings;
    const QString key = QStringLiteral("Sys/Autostart");
    if (!settings.isManaged(key))
        return;
    showManaged(autostartAction, true);
    // The administrator's word holds for this user too: the entry is made or removed.
    const bool wanted = settings.value(key, false).toBool();
    QString error;
    if (Autostart::isEnabled() != wanted &&
        !Autostart::setEnabled(wanted, QCoreApplication::applicationFilePath(), &error))
        qWarning().noquote() << "autostart: the managed setting could not be applied:" << error;
}

MainWindow::~MainWindow()
{
    if (currentPlugin) {
        currentPlugin->release();
        if (QWebEngineView *view = currentPlugin->getWeb())
            view->deleteLater();
        currentPlugin = nullptr;
    }
    delete trayIcon;
    delete trayMenu;
    delete ui;
    PluginManager::instance()->releasePlugins();
}

QString MainWindow::currentPluginId() const
{
    return currentPlugin ? currentPlugin->id() : QString();
}

void MainWindow::setCentralPlugin(PluginInterface *plugin, QString argument)
{
    delete ui->centralwidget->layout();
    if (currentPlugin)
        currentPlugin->release();
    if (QLayout *layout = plugin->centerLayout(argument))
        ui->centralwidget->setLayout(layout);
    currentPlugin = plugin;
    if (QWebEngineView *view = plugin->getWeb()) {
        connect(view, &QWebEngineView::loadStarted, this, &MainWindow::onLoadStarted);
        connect(view, &QWebEngineView::loadFinished, this, &MainWindow::onLoadFinished);
    }
}

void MainWindow::onLoadStarted()
{
    QWebEngineView *view = currentPlugin ? currentPlugin->getWeb() : nullptr;
    qDebug() << "started load view:" << (view ? view->url() : QUrl());
}

void MainWindow::onLoadFinished(bool ok)
{
    QWebEngineView *view = currentPlugin ? currentPlugin->getWeb() : nullptr;
    qDebug() << "load view end:" << ok << (view ? view->url() : QUrl());
    heapTrim->soon();
    if (!view || currentPluginId() != QLatin1String(MERVO_LOGIN_PLUGIN_ID))
        return;
    const QString sourceId = ClientSettings().text(QStringLiteral("Sys/SourceId"));
    // The value comes from a file and goes into script text: quote it. The block
    // keeps the helper variable out of the page's global scope; pages without the
    // link (the waiting page, an outage page) are left alone.
    view->page()->runJavaScript(QStringLiteral("{let a = document.getElementById('register');"
                                               "if (a) a.href = a.href + '?source=' + %1}")
                                    .arg(jsStringLiteral(sourceId)));
}

void MainWindow::reloadView()
{
    QWebEngineView *view = currentPlugin ? currentPlugin->getWeb() : nullptr;
    if (!view)
        return;
    qDebug() << "current url: " << view->url();
    if (view->url().scheme().startsWith(QLatin1String("http"))) {
        view->reload();
        qDebug() << "reload current url";
        return;
    }
    const QUrl url = currentPlugin->getLoadUrl();
    qDebug() << "plugin url: " << url;
    qDebug() << "reload plugin url";
    view->load(url);
}

void MainWindow::setTrayToolTip(const QStringList &lines)
{
    trayIcon->setToolTip(lines.join(QLatin1Char('\n')));
}

QDialog *MainWindow::openDevTools()
{
    QWebEngineView *inspected = currentPlugin ? currentPlugin->getWeb() : nullptr;
    auto *view = new QWebEngineView;
    auto *page = new QWebEnginePage(webProfile(), view);
    if (inspected) {
        inspected->page()->setDevToolsPage(page);
        inspected->page()->triggerAction(QWebEnginePage::InspectElement);
    }
    view->setPage(page);
    view->resize(1100, 600);
    view->setMinimumWidth(1100);
    view->setMinimumHeight(600);
    view->setVisible(true);

    auto *dialog = new QDialog(this);
    auto *layout = new QVBoxLayout(dialog);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view);
    dialog->setModal(false);
    dialog->setWindowFlags(Qt::Window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(QStringLiteral("DEBUG"));
    return dialog;
}

void MainWindow::slt_ActivatedTrayIcon(QSystemTrayIcon::ActivationReason reason)
{
    if (reason != QSystemTrayIcon::DoubleClick)
        return;
    showMaximized();
    activateWindow();
}

void MainWindow::slt_CloseEvent()
{
    if (confirmQuit())
        QCoreApplication::exit(0);
}

bool MainWindow::confirmQuit()
{
    PluginManager *manager = PluginManager::instance();
    if (manager->runningDownloads() == 0)
        return true;
    if (!QuitQuestion::askToCancelDownloads(this))
        return false;
    manager->cancelDownloads();
    return true;
}

void MainWindow::slt_EnableMultiClient(bool enabled)
{
    ClientSettings().setValue(QStringLiteral("Sys/MultiClient"), QString::number(int(enabled)));
}

void MainWindow::slt_EnableAutostart(bool enabled)
{
    QString error;
    if (!Autostart::setEnabled(enabled, QCoreApplication::applicationFilePath(), &error)) {
        qWarning().noquote() << "autostart not changed:" << error;
        QMessageBox::warning(this, QStringLiteral("开机自动启动"),
                             QStringLiteral("无法设置开机自动启动：") + error, QMessageBox::Ok);
    }
    autostartAction->setChecked(Autostart::isEnabled());
}

void MainWindow::downloadFinished(const QString &fileName)
{
    qDebug().noquote() << "download finished:" << fileName;
    if (isVisible() && currentPluginId() == QLatin1String(MERVO_PRODUCT_PLUGIN_ID))
        return;
    notifications->otherMessageShown();
    trayIcon->showMessage(QStringLiteral("下载完成"), fileName, trayIcon->icon(), 10000);
    downloadBalloonShown = true;
}

void MainWindow::keyReleaseEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_F12) {
        if (currentPlugin && currentPlugin->getWeb())
            openDevTools()->show();
    } else if (event->key() == Qt::Key_F5) {
        reloadView();
    }
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    QMainWindow::closeEvent(event);
    handleClose(event);
}

void MainWindow::handleClose(QCloseEvent *event)
{
    if (currentPluginId() != QLatin1String(MERVO_PRODUCT_PLUGIN_ID)) {
        quitFromClose(event);
        return;
    }
    // Without a system tray a hidden window could not be reached again, so keep
    // it on screen (minimised) wherever hiding would otherwise happen.
    const bool trayAvailable = QSystemTrayIcon::isSystemTrayAvailable();

    ClientSettings settings;
    QString action = settings.text(QStringLiteral("Sys/CloseAction")).toLower();
    // A managed answer is never asked for; left empty there, it quits.
    if (action.isEmpty() && !settings.isManaged(QStringLiteral("Sys/CloseAction"))) {
        CloseDialog dialog(this);
        dialog.setWindowFlags((dialog.windowFlags() | Qt::MSWindowsFixedSizeDialogHint) &
                              ~Qt::WindowContextHelpButtonHint);
        if (dialog.exec() != QDialog::Accepted) {
            if (!trayAvailable)
                event->ignore();
            return;
        }
        const QJsonObject config = dialog.getConfig();
        action = config.value(QStringLiteral("closeAction")).toString().toLower();
        if (config.value(QStringLiteral("saveConfig")).toBool(false))
            settings.setValue(QStringLiteral("Sys/CloseAction"), action);
    }

    if (action == QLatin1String("min")) {
        if (trayAvailable) {
            hide();
            heapTrim->soon();
            notifications->otherMessageShown();
            downloadBalloonShown = false;
            trayIcon->showMessage(QStringLiteral("最小化"), QStringLiteral("托盘图标(右键退出)"),
                                  trayIcon->icon(), 1);
        } else {
            event->ignore();
            showMinimized();
        }
        return;
    }
    quitFromClose(event);
}

void MainWindow::quitFromClose(QCloseEvent *event)
{
    if (confirmQuit())
        QCoreApplication::exit(0);
    else
        event->ignore(); // the window stays as it was
}
