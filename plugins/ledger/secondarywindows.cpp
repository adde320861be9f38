#include "secondarywindows.h"

#include "basedialog.h"
#include "productpage.h"
#include "productwebengineview.h"

#include <QDebug>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include <algorithm>

SecondaryWindows::SecondaryWindows(ProductWebEngineView *mainView)
    : QObject(mainView)
    , mainView(mainView)
{}

SecondaryWindows::~SecondaryWindows()
{
    // The frames are top-level windows: nothing else would delete them.
    for (const QPointer<BaseDialog> &frame : qAsConst(frames))
        delete frame.data();
}

QWebEngineView *SecondaryWindows::open(std::shared_ptr<const TrustPolicy> policy,
                                       const QString &baseHost, bool openedByService)
{
    qDebug() << "sub_sub";
    auto *view = new ProductWebEngineView(nullptr, false);
    auto *frame = new BaseDialog(view);
    frame->setAttribute(Qt::WA_DeleteOnClose);
    auto *page =
        new ProductPage(std::move(policy), baseHost, frame, mainView->width(), mainView->height());
    page->setOpenedByService(openedByService);
    // Owned by its view, so it goes wherever the view goes (also at shut-down).
    page->setParent(view);
    view->setContextMenuPolicy(Qt::NoContextMenu);
    for (auto attribute :
         {QWebEngineSettings::LocalStorageEnabled, QWebEngineSettings::PluginsEnabled,
          QWebEngineSettings::FullScreenSupportEnabled, QWebEngineSettings::ShowScrollBars})
        page->settings()->setAttribute(attribute, true);
    qDebug() << "view->setPage(webPage)";
    view->setPage(page);
    connect(page, &QWebEnginePage::windowCloseRequested, this,
            [this, page] { closeWindowOf(page); });
    frame->move(mainView->width() / 2 - 550, mainView->height() / 2 - 300);
    frame->show();
    frame->activateWindow();
    frames.removeAll(nullptr);
    frames.append(frame);
    return view;
}

QWidget *SecondaryWindows::newest() const
{
    for (auto it = frames.crbegin(); it != frames.crend(); ++it)
        if (*it)
            return it->data();
    return nullptr;
}

int SecondaryWindows::count() const
{
    return int(std::count_if(frames.cbegin(), frames.cend(),
                             [](const QPointer<BaseDialog> &f) { return !f.isNull(); }));
}

void SecondaryWindows::close(QWidget *frame)
{
    mainView->runInMainPage(QStringLiteral("$common.enableScreen();"));
    qDebug() << "close file closeSubWindow";
    {
        QMutexLocker locker(&closing);
        if (frame) {
            qDebug() << "close file closeSubWindow";
            frame->close();
        }
    }
    mainView->runInMainPage(QStringLiteral("$common.enableScreen();"));
}

void SecondaryWindows::closeNewest()
{
    close(newest());
}

void SecondaryWindows::closeWindowOf(QWebEnginePage *page)
{
    for (const QPointer<BaseDialog> &frame : qAsConst(frames)) {
        auto *view = frame ? qobject_cast<QWebEngineView *>(frame->contentWidget()) : nullptr;
        if (view && view->page() == page) {
            close(frame);
            return;
        }
    }
}

void SecondaryWindows::closeAll()
{
    const auto open = frames;
    frames.clear();
    for (const QPointer<BaseDialog> &frame : open)
        if (frame)
            frame->close();
}
