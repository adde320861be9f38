#include "workspacedownloads.h"

#include "bridgeaccess.h"
#include "desktophandoff.h"
#include "downloadfailure.h"
#include "downloadrules.h"
#include "downloadslist.h"
#include "fileqdialog.h"
#include "filesavewebbridge.h"
#include "productwebengineview.h"
#include "qtcompat.h"
#include "savefiledialog.h"
#include "secondarywindows.h"
#include "viewcontextmenu.h"
#include "webprofile.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMetaEnum>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebChannel>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include <memory>

WorkspaceDownloads::WorkspaceDownloads(ProductWebEngineView *mainView, QProgressBar *bar,
                                       SecondaryWindows *windows)
    : QObject(mainView)
    , mainView(mainView)
    , progressBar(bar)
    , windows(windows)
{}

void WorkspaceDownloads::onDownloadRequested(QWebEngineDownloadRequest *item)
{
    qDebug() << QMetaEnum::fromType<QWebEngineDownloadRequest::DownloadState>().valueToKey(
        item->state());
    // The engine resumes an interrupted download by asking again for the same item;
    // the user already chose where it goes, and no window opened it.
    if (acceptedDownloads.contains(item->id())) {
        // Resumed into the chosen file, never the engine's default folder.
        const QFileInfo chosen(acceptedDownloads.value(item->id()));
        item->setDownloadDirectory(chosen.absolutePath());
        item->setDownloadFileName(chosen.fileName());
        watchDownload(item);
        DownloadsList::instance()->track(item);
        item->accept();
        return;
    }
    qDebug() << "start close per window";
    windows->closeNewest();

    const QString suggested = QDir(item->downloadDirectory()).filePath(item->downloadFileName());
    // The workspace (and this object with it) may go while the user chooses.
    QPointer<WorkspaceDownloads> self(this);
    QPointer<QWebEngineDownloadRequest> request(item);
    const QString chosen = SaveFileDialog::ask(mainView, QStringLiteral("保存文件"), suggested,
                                               DownloadRules::filterFor(item->downloadFileName()));
    if (chosen.isEmpty() || !self || !request)
        return;

    const QString folder = QFileInfo(chosen).absolutePath();
    qDebug() << "dir parts" << folder.split(QLatin1Char(':'), Qt::KeepEmptyParts);
    if (DownloadRules::isDriveRoot(folder)) {
        QMessageBox box(QMessageBox::Information, QStringLiteral("Mervo"),
                        QStringLiteral("请选择一个文件夹"), QMessageBox::Ok);
        box.exec();
        return;
    }

    // Refused before anything is written: a folder that takes no file, or too little room.
    const QString refusal = DownloadFailure::checkTarget(folder, 0);
    if (!refusal.isEmpty()) {
        qWarning() << "download refused:" << chosen << refusal << item->totalBytes();
        reportFailure(QFileInfo(chosen).fileName(), refusal, nullptr);
        return;
    }

    watchDownload(item);
    downloadDir = folder;
    downloadFile = chosen;
    completeShown = false;
    item->setDownloadDirectory(folder);
    item->setDownloadFileName(QFileInfo(chosen).fileName());
    acceptedDownloads.insert(item->id(), chosen);
    DownloadsList::instance()->track(item);
    item->accept();
}

void WorkspaceDownloads::watchDownload(QWebEngineDownloadRequest *item)
{
    // A resumed download may come as a new item object; each is watched once.
    if (item->property("mervoWatched").toBool())
        return;
    item->setProperty("mervoWatched", true);
    QtCompat::onDownloadFinished(item, this, [this, item] {
        if (progressBar)
            progressBar->setValue(0);
        onDownloadFinished(item);
    });
    connect(item, &QWebEngineDownloadRequest::stateChanged, this,
            [this, item](QWebEngineDownloadRequest::DownloadState state) {
                if (state == QWebEngineDownloadRequest::DownloadCancelled ||
                    state == QWebEngineDownloadRequest::DownloadInterrupted)
                    closeDownloadPanel();
                if (state == QWebEngineDownloadRequest::DownloadInterrupted)
                    onDownloadInterrupted(item);
            });
    // A report that trails an interruption must not bring the closed panel back.
    QtCompat::onDownloadProgress(item, this, [this, item](qint64 received, qint64 total) {
        if (item->state() != QWebEngineDownloadRequest::DownloadInProgress)
            return;
        if (!item->property("mervoSpaceChecked").toBool() && total > 0) {
            item->setProperty("mervoSpaceChecked", true);
            if (refuseWithoutRoom(item, total - received))
                return;
        }
        onDownloadProgress(received, total);
    });

    // Items left with the profile are deleted at exit after the profile's own data, and
    // one still "in progress" then cancels itself through freed memory (Qt WebEngine
    // 5.15). So an accepted item leaves the profile and goes when its transfer is over,
    // whether or not the workspace still exists.
    QObject *profile = item->parent();
    item->setParent(nullptr);
    QtCompat::onDownloadFinished(item, item, [item] { item->deleteLater(); });
    // A resumed transfer reports through a new item and the old one stays "in progress";
    // it goes with its replacement (deleting it earlier would cancel the transfer).
    if (auto *owner = qobject_cast<QWebEngineProfile *>(profile)) {
        connect(owner, &QWebEngineProfile::downloadRequested, item,
                [item](QWebEngineDownloadRequest *next) {
                    if (next != item && next->id() == item->id())
                        connect(next, &QObject::destroyed, item, &QObject::deleteLater);
                });
    }
}

bool WorkspaceDownloads::refuseWithoutRoom(QWebEngineDownloadRequest *item, qint64 remaining)
{
    // The size is known with the first report: a file that cannot fit stops before it
    // fills the disk.
    const QString refusal = DownloadFailure::checkTarget(item->downloadDirectory(), remaining);
    if (refusal.isEmpty())
        return false;
    qWarning() << "download stopped:" << item->downloadFileName() << refusal << remaining;
    DownloadsList::instance()->markFailed(item, refusal);
    discardPartial(item);
    closeDownloadPanel();
    reportFailure(item->downloadFileName(), refusal, nullptr);
    return true;
}

void WorkspaceDownloads::discardPartial(QWebEngineDownloadRequest *item)
{
    const QString target = QDir(item->downloadDirectory()).filePath(item->downloadFileName());
    item->cancel();
    // The engine keeps an interrupted transfer's bytes beside the target for a resume, and
    // a cancel does not remove them: given up, they go here. A retry that could not
    // continue them starts a fresh one, numbered like "name.ext (1).download".
    // Names compared as text: a file name may hold wildcard characters.
    const QFileInfo info(target);
    const QString exact = info.fileName() + QStringLiteral(".download");
    const QString numbered = info.fileName() + QStringLiteral(" (");
    static const QRegularExpression number(QStringLiteral("^[0-9]+\\)\\.download$"));
    const QStringList present =
        info.dir().entryList({QStringLiteral("*.download")}, QDir::Files | QDir::Hidden);
    for (const QString &name : present) {
        if (name != exact &&
            !(name.startsWith(numbered) && number.match(name.mid(numbered.size())).hasMatch()))
            continue;
        const QString partial = info.dir().filePath(name);
        if (!QFile::remove(partial))
            qWarning() << "download: partial file not removed:" << partial;
    }
}

void WorkspaceDownloads::onDownloadInterrupted(QWebEngineDownloadRequest *item)
{
    const QString reason = DownloadFailure::reasonText(item->interruptReason());
    qWarning() << "download failed:"
               << QDir(item->downloadDirectory()).filePath(item->downloadFileName())
               << item->interruptReasonString() << reason;
    // The engine can resume only a transfer it has not given up ("finished"), and it marks
    // an item finished only after announcing the new state: decide once that has happened.
    // A finished one is reported from its finished signal.
    QPointer<QWebEngineDownloadRequest> pending(item);
    QTimer::singleShot(0, this, [this, pending, reason] {
        if (pending && !pending->isFinished() &&
            pending->state() == QWebEngineDownloadRequest::DownloadInterrupted)
            reportFailure(pending->downloadFileName(), reason, pending);
    });
}

void WorkspaceDownloads::reportFailure(const QString &fileName, const QString &reason,
                                       QWebEngineDownloadRequest *resumable)
{
    // Not modal: the workspace stays usable while the notice is up.
    auto *box = new QMessageBox(QMessageBox::Warning, QStringLiteral("下载失败"),
                                DownloadFailure::message(fileName, reason), QMessageBox::NoButton,
                                mainView);
    box->setObjectName(QStringLiteral("DownloadFailed"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    QAbstractButton *retry =
        resumable ? box->addButton(QStringLiteral("重试"), QMessageBox::AcceptRole) : nullptr;
    box->addButton(QStringLiteral("关闭"), QMessageBox::RejectRole);
    if (resumable) {
        QPointer<QWebEngineDownloadRequest> item(resumable);
        connect(box, &QMessageBox::buttonClicked, box, [box, item, retry](QAbstractButton *b) {
            if (b == retry && item &&
                item->state() == QWebEngineDownloadRequest::DownloadInterrupted) {
                box->setProperty("mervoRetrying", true);
                qDebug() << "download retried:" << item->downloadFileName();
                item->resume();
            }
        });
        // Given up: nothing the transfer wrote stays.
        connect(box, &QObject::destroyed, resumable, [item](QObject *gone) {
            if (item && !gone->property("mervoRetrying").toBool() &&
                item->state() == QWebEngineDownloadRequest::DownloadInterrupted)
                discardPartial(item);
        });
    }
    box->show();
}

void WorkspaceDownloads::onDownloadFinished(QWebEngineDownloadRequest *item)
{
    if (item->state() == QWebEngineDownloadRequest::DownloadInterrupted) {
        // Given up by the engine: no resume, so nothing it wrote stays.
        discardPartial(item);
        reportFailure(item->downloadFileName(),
                      DownloadFailure::reasonText(item->interruptReason()), nullptr);
        return;
    }
    if (item->state() != QWebEngineDownloadRequest::DownloadCompleted)
        return;
    // What the download wrote may now be opened from the panel, and nothing else.
    DesktopHandOff::allowDownloadedFile(
        QDir(item->downloadDirectory()).filePath(item->downloadFileName()));
    // Downloads of unknown size (and empty ones) never report received == total;
    // their completion is only known here.
    if (!completeShown) {
        downloadPercent = 100;
        if (!downloadWindow)
            showDownloadPanel();
        showDownloadComplete();
    }
}

void WorkspaceDownloads::onDownloadProgress(qint64 received, qint64 total)
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

void WorkspaceDownloads::showDownloadPanel()
{
    closeDownloadPanel();
    auto *panel = new FileQdialog;
    auto *layout = new QVBoxLayout;
    auto *view = new QWebEngineView(mainView);
    ViewContextMenu::install(view);
    auto *page = new QWebEnginePage(webProfile(), view);
    auto *bridge = new FileSaveWebBridge(downloadDir, downloadFile, panel);
    bridge->setAccess(BridgeAccess(page, TrustPolicy::resourcesOnly()));
    connect(bridge, &FileSaveWebBridge::closed, this, &WorkspaceDownloads::closeDownloadPanel);

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
    panel->setParent(mainView);
    panel->setModal(false);
    panel->setFixedSize(164, 164);
    panel->setWindowFlags(Qt::FramelessWindowHint);
    panel->setAttribute(Qt::WA_DeleteOnClose);
    panel->setWindowOpacity(0.5);
    panel->move(mainView->width() / 2 - 82, mainView->height() / 2 - 82);
    panel->show();
    panel->activateWindow();
}

void WorkspaceDownloads::showDownloadComplete()
{
    if (!downloadWindow || !downloadView)
        return;
    completeShown = true;
    mainView->runInMainPage(QStringLiteral("$common.disableScreen(1000000);"));
    downloadView->page()->runJavaScript(
        DownloadRules::completionScript(QFileInfo(downloadFile).fileName()));
    downloadWindow->setFixedSize(310, 166);
    downloadWindow->move(mainView->width() / 2 - 155, mainView->height() / 2 - 83);
    connect(downloadWindow.data(), &FileQdialog::keyRelease, this,
            &WorkspaceDownloads::onPanelKeyRelease, Qt::UniqueConnection);
    downloadWindow->activateWindow();
}

void WorkspaceDownloads::onPanelKeyRelease(QKeyEvent *event)
{
    qDebug() << event->key();
    if (event->key() == Qt::Key_Escape)
        closeDownloadPanel();
}

void WorkspaceDownloads::closeDownloadPanel()
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
    mainView->runInMainPage(QStringLiteral("$common.enableScreen();"));
}
