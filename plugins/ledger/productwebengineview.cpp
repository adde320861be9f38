#include "productwebengineview.h"

#include "basedialog.h"
#include "downloadrules.h"
#include "fileqdialog.h"
#include "filesavewebbridge.h"
#include "navigationrules.h"
#include "productpage.h"

#include <QDebug>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMetaEnum>
#include <QProgressBar>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebChannel>
#include <QWebEngineDownloadItem>
#include <QWebEngineFullScreenRequest>
#include <QWebEngineProfile>
#include <QWebEngineSettings>

ProductWebEngineView::ProductWebEngineView(QProgressBar *bar, bool isMainView)
    : isMainView(isMainView)
{
    setWindowFlags(Qt::Window);
    if (!isMainView)
        return;
    progressBar = bar;
    if (bar)
        bar->setMaximum(100);
    connect(QWebEngineProfile::defaultProfile(), &QWebEngineProfile::downloadRequested, this,
            &ProductWebEngineView::onDownloadRequested);
    connect(this, &QWebEngineView::loadProgress, this, &ProductWebEngineView::onLoadProgress);
    connect(this, &QWebEngineView::renderProcessTerminated, this,
            &ProductWebEngineView::onRenderProcessTerminated);
}

void ProductWebEngineView::startLoad(const QUrl &url)
{
    startUrl = url;
    load(QUrl(QStringLiteral("qrc:/load.html")));
}

void ProductWebEngineView::onLoadProgress(int progress)
{
    const int value = NavigationRules::progressBarValue(progress);
    if (progressBar && value >= 0)
        progressBar->setValue(value);
}

void ProductWebEngineView::onRenderProcessTerminated(
    QWebEnginePage::RenderProcessTerminationStatus status, int exitCode)
{
    qDebug() << "pageExit:" << exitCode << " - "
             << QMetaEnum::fromType<QWebEnginePage::RenderProcessTerminationStatus>().valueToKey(
                    status);
    if (!crashThrottle.allowReload()) {
        qDebug() << "page keeps crashing, automatic reload stopped (F5 reloads):" << url();
        return;
    }
    QTimer::singleShot(0, this, [this] { reload(); });
}

void ProductWebEngineView::keyReleaseEvent(QKeyEvent *event)
{
    qDebug() << "keyReleaseEvent:" << event->key();
}

QWebEngineView *ProductWebEngineView::createWindow(QWebEnginePage::WebWindowType type)
{
    if (type == QWebEnginePage::WebBrowserTab)
        return openSubWindow();
    return this;
}

QWebEngineView *ProductWebEngineView::openSubWindow()
{
    qDebug() << "sub_sub";
    auto *view = new ProductWebEngineView(nullptr, false);
    auto *dialog = new BaseDialog(view);
    auto *page = new ProductPage(baseHost, dialog, width(), height());
    // Owned by its view, so it goes wherever the view goes (also at shut-down).
    page->setParent(view);
    view->setContextMenuPolicy(Qt::NoContextMenu);
    for (auto attribute : {QWebEngineSettings::LocalStorageEnabled, QWebEngineSettings::PluginsEnabled,
                           QWebEngineSettings::FullScreenSupportEnabled,
                           QWebEngineSettings::ShowScrollBars})
        page->settings()->setAttribute(attribute, true);
    qDebug() << "view->setPage(webPage)";
    view->setPage(page);
    connect(page, &QWebEnginePage::fullScreenRequested, page,
            [](QWebEngineFullScreenRequest request) { request.accept(); });
    connect(page, &QWebEnginePage::windowCloseRequested, this,
            &ProductWebEngineView::closeSubWindow);
    dialog->move(width() / 2 - 550, height() / 2 - 300);
    dialog->show();
    dialog->activateWindow();
    subWindow = dialog;
    return view;
}

void ProductWebEngineView::closeSubWindow()
{
    page()->runJavaScript(QStringLiteral("$common.enableScreen();"));
    qDebug() << "close file closeSubWindow";
    QMutexLocker locker(&subWindowMutex);
    if (subWindow) {
        qDebug() << "close file closeSubWindow";
        subWindow->close();
        if (auto *frame = qobject_cast<QMainWindow *>(subWindow.data())) {
            if (QWidget *content = frame->centralWidget()) {
                // The page has no parent; without this it would outlive its window.
                if (auto *view = qobject_cast<QWebEngineView *>(content))
                    view->page()->deleteLater();
                content->deleteLater();
            }
        }
        subWindow->deleteLater();
    }
    page()->runJavaScript(QStringLiteral("$common.enableScreen();"));
    subWindow = nullptr;
}

void ProductWebEngineView::onDownloadRequested(QWebEngineDownloadItem *item)
{
    qDebug() << QMetaEnum::fromType<QWebEngineDownloadItem::DownloadState>().valueToKey(
        item->state());
    qDebug() << "start close per window";
    closeSubWindow();

    // The engine resumes an interrupted download by asking again for the same item;
    // the user already chose where it goes.
    if (acceptedDownloads.contains(item->id())) {
        watchDownload(item);
        item->accept();
        return;
    }

    const QString suggested =
        QDir(item->downloadDirectory()).filePath(item->downloadFileName());
    const QString chosen = QFileDialog::getSaveFileName(
        this, QStringLiteral("保存文件"), suggested,
        DownloadRules::filterFor(item->downloadFileName()));
    if (chosen.isEmpty())
        return;

    const QString folder = QFileInfo(chosen).absolutePath();
    qDebug() << "dir parts" << folder.split(QLatin1Char(':'), Qt::KeepEmptyParts);
    if (DownloadRules::isDriveRoot(folder)) {
        QMessageBox box(QMessageBox::Information, QStringLiteral("Mervo"),
                        QStringLiteral("请选择一个文件夹"), QMessageBox::Ok);
        box.exec();
        return;
    }

    watchDownload(item);
    downloadDir = folder;
    downloadFile = chosen;
    completeShown = false;
    item->setDownloadDirectory(folder);
    item->setDownloadFileName(QFileInfo(chosen).fileName());
    acceptedDownloads.insert(item->id());
    item->accept();
}

void ProductWebEngineView::watchDownload(QWebEngineDownloadItem *item)
{
    // A resumed download may come as a new item object; each is watched once.
    if (item->property("mervoWatched").toBool())
        return;
    item->setProperty("mervoWatched", true);
    connect(item, &QWebEngineDownloadItem::finished, this, [this, item] {
        if (progressBar)
            progressBar->setValue(0);
        onDownloadFinished(item);
    });
    connect(item, &QWebEngineDownloadItem::stateChanged, this,
            [this](QWebEngineDownloadItem::DownloadState state) {
                if (state == QWebEngineDownloadItem::DownloadCancelled
                    || state == QWebEngineDownloadItem::DownloadInterrupted)
                    closeDownloadPanel();
            });
    // A report that trails an interruption must not bring the closed panel back.
    connect(item, &QWebEngineDownloadItem::downloadProgress, this,
            [this, item](qint64 received, qint64 total) {
                if (item->state() == QWebEngineDownloadItem::DownloadInProgress)
                    onDownloadProgress(received, total);
            });

    // Items left with the profile are deleted at exit after the profile's own data, and
    // one still "in progress" then cancels itself through freed memory (Qt WebEngine
    // 5.15). So an accepted item leaves the profile and goes when its transfer is over,
    // whether or not this view still exists.
    QObject *profile = item->parent();
    item->setParent(nullptr);
    connect(item, &QWebEngineDownloadItem::finished, item, &QObject::deleteLater);
    // A resumed transfer reports through a new item and the old one stays "in progress";
    // it goes with its replacement (deleting it earlier would cancel the transfer).
    if (auto *owner = qobject_cast<QWebEngineProfile *>(profile)) {
        connect(owner, &QWebEngineProfile::downloadRequested, item,
                [item](QWebEngineDownloadItem *next) {
                    if (next != item && next->id() == item->id())
                        connect(next, &QObject::destroyed, item, &QObject::deleteLater);
                });
    }
}

void ProductWebEngineView::onDownloadFinished(QWebEngineDownloadItem *item)
{
    // Downloads of unknown size (and empty ones) never report received == total;
    // their completion is only known here.
    if (item->state() == QWebEngineDownloadItem::DownloadCompleted && !completeShown) {
        downloadPercent = 100;
        if (!downloadWindow)
            showDownloadPanel();
        showDownloadComplete();
    }
}

void ProductWebEngineView::onDownloadProgress(qint64 received, qint64 total)
{
    downloadPercent = DownloadRules::percent(received, total);
    if (!downloadWindow)
        showDownloadPanel();
    if (received == total) {
        showDownloadComplete();
        return;
    }
    if (downloadView)
        downloadView->page()->runJavaScript(DownloadRules::progressScript(downloadPercent));
}

void ProductWebEngineView::showDownloadPanel()
{
    closeDownloadPanel();
    auto *panel = new FileQdialog;
    auto *layout = new QVBoxLayout;
    auto *view = new QWebEngineView(this);
    auto *page = new QWebEnginePage(QWebEngineProfile::defaultProfile(), view);
    auto *bridge = new FileSaveWebBridge(downloadDir, downloadFile, panel);
    connect(bridge, &FileSaveWebBridge::closed, this, &ProductWebEngineView::closeDownloadPanel);

    page->settings()->setAttribute(QWebEngineSettings::ShowScrollBars, false);
    auto *channel = new QWebChannel(page);
    bridge->setParent(channel);
    channel->registerObject(QStringLiteral("file"), bridge);
    page->setWebChannel(channel);
    view->setPage(page);
    view->load(QUrl(QStringLiteral("qrc:/download.html")));
    view->setVisible(true);
    view->setWindowOpacity(0.5);
    connect(view, &QWebEngineView::loadFinished, this, [this, view](bool ok) {
        if (!ok || view != downloadView)
            return;
        view->page()->runJavaScript(DownloadRules::progressScript(downloadPercent));
        qDebug() << "file view loaded:" << downloadPercent;
        if (downloadPercent == 100)
            showDownloadComplete();
    });
    downloadView = view;
    downloadWindow = panel;

    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view);
    panel->setLayout(layout);
    panel->setParent(this);
    panel->setModal(false);
    panel->setFixedSize(164, 164);
    panel->setWindowFlags(Qt::FramelessWindowHint);
    panel->setAttribute(Qt::WA_DeleteOnClose);
    panel->setWindowOpacity(0.5);
    panel->move(width() / 2 - 82, height() / 2 - 82);
    panel->show();
    panel->activateWindow();
}

void ProductWebEngineView::showDownloadComplete()
{
    if (!downloadWindow || !downloadView)
        return;
    completeShown = true;
    page()->runJavaScript(QStringLiteral("$common.disableScreen(1000000);"));
    downloadView->page()->runJavaScript(
        DownloadRules::completionScript(QFileInfo(downloadFile).fileName()));
    downloadWindow->setFixedSize(310, 166);
    downloadWindow->move(width() / 2 - 155, height() / 2 - 83);
    connect(downloadWindow.data(), &FileQdialog::keyRelease, this,
            &ProductWebEngineView::onPanelKeyRelease, Qt::UniqueConnection);
    downloadWindow->activateWindow();
}

void ProductWebEngineView::onPanelKeyRelease(QKeyEvent *event)
{
    qDebug() << event->key();
    if (event->key() == Qt::Key_Escape)
        closeDownloadPanel();
}

void ProductWebEngineView::closeDownloadPanel()
{
    if (downloadWindow) {
        if (downloadView) {
            downloadView->page()->deleteLater();
            downloadView->deleteLater();
        }
        downloadWindow->close();
    }
    downloadView = nullptr;
    downloadWindow = nullptr;
    page()->runJavaScript(QStringLiteral("$common.enableScreen();"));
}
