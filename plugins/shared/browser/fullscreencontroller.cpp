#include "fullscreencontroller.h"

#include "renderchildfilter.h"

#include <QDebug>
#include <QKeyEvent>
#include <QLayout>
#include <QShortcut>
#include <QWebEngineFullScreenRequest>
#include <QWebEngineView>

FullScreenController::FullScreenController(QWebEngineView *view)
    : QObject(view)
    , view(view)
{}

FullScreenController::~FullScreenController()
{
    // A view that goes while full screen (a log-out) leaves its window as it was. The
    // window may be going too (the client quits): its state is set, nothing is shown.
    leave(false);
}

FullScreenController *FullScreenController::attach(QWebEngineView *view)
{
    auto *controller = new FullScreenController(view);
    auto *f11 = new QShortcut(QKeySequence(Qt::Key_F11), view);
    f11->setContext(Qt::WidgetWithChildrenShortcut);
    connect(f11, &QShortcut::activated, controller, &FullScreenController::toggle);
    RenderChildFilter::of(view)->add(
        controller, [controller](QEvent *event) { return controller->onEvent(event); });
    // The page is set after the view is made, and asking for it earlier would make
    // one: its requests are watched from its first load on.
    connect(view, &QWebEngineView::loadStarted, controller, &FullScreenController::watchPage);
    // A renderer that is gone asks for nothing any more.
    connect(view, &QWebEngineView::renderProcessTerminated, controller,
            [controller] { controller->pageLeft(); });
    return controller;
}

void FullScreenController::watchPage()
{
    QWebEnginePage *page = view ? view->page() : nullptr;
    if (!page || page == watchedPage)
        return;
    if (watchedPage)
        disconnect(watchedPage, nullptr, this, nullptr);
    watchedPage = page;
    connect(page, &QWebEnginePage::fullScreenRequested, this, &FullScreenController::onRequest);
}

void FullScreenController::onRequest(QWebEngineFullScreenRequest request)
{
    if (!request.toggleOn()) {
        request.accept();
        pageLeft();
        return;
    }
    const bool wasActive = active;
    if (!enter()) {
        qDebug() << "full screen refused:" << request.origin();
        request.reject();
        return;
    }
    request.accept();
    pageFullScreen = true;
    enteredForPage = !wasActive;
}

void FullScreenController::pageLeft()
{
    pageFullScreen = false;
    // Full screen by F11 stays when the page's own ends.
    if (enteredForPage)
        leave();
}

bool FullScreenController::onEvent(QEvent *event)
{
    if (!pageFullScreen || event->type() != QEvent::KeyPress ||
        static_cast<QKeyEvent *>(event)->key() != Qt::Key_Escape)
        return false;
    view->triggerPageAction(QWebEnginePage::ExitFullScreen);
    return true;
}

void FullScreenController::toggle()
{
    if (!active) {
        enter();
        return;
    }
    if (pageFullScreen && view)
        view->triggerPageAction(QWebEnginePage::ExitFullScreen);
    pageFullScreen = false;
    leave();
}

bool FullScreenController::enter()
{
    if (active)
        return true;
    if (!view || !view->isVisible() || view->width() == 0)
        return false;
    window = view->window();
    savedState = window->windowState();
    savedMinimum = window->minimumSize();
    savedMaximum = window->maximumSize();
    // Everything beside the view, on every level up to the window, makes room for it.
    for (QWidget *widget = view; widget != window; widget = widget->parentWidget()) {
        QWidget *parent = widget->parentWidget();
        for (QWidget *sibling :
             parent->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly)) {
            if (sibling != widget && !sibling->isWindow() && sibling->isVisible()) {
                hidden.append(sibling);
                sibling->hide();
            }
        }
        if (QLayout *layout = parent->layout()) {
            layouts.append({layout, {layout->contentsMargins(), layout->spacing()}});
            layout->setContentsMargins(0, 0, 0, 0);
            layout->setSpacing(0);
        }
    }
    // Secondary windows come with a fixed size.
    window->setMinimumSize(0, 0);
    window->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    window->showFullScreen();
    active = true;
    if (!window->isFullScreen()) {
        leave();
        return false;
    }
    qDebug() << "full screen: on";
    return true;
}

void FullScreenController::leave(bool show)
{
    if (!active)
        return;
    active = false;
    enteredForPage = false;
    for (const auto &entry : qAsConst(layouts)) {
        if (entry.first) {
            entry.first->setContentsMargins(entry.second.first);
            entry.first->setSpacing(entry.second.second);
        }
    }
    layouts.clear();
    for (const QPointer<QWidget> &widget : qAsConst(hidden))
        if (widget)
            widget->show();
    hidden.clear();
    if (!window)
        return;
    window->setMinimumSize(savedMinimum);
    window->setMaximumSize(savedMaximum);
    if (!show || !window->isVisible())
        window->setWindowState(savedState); // hidden to the tray meanwhile: stays so
    else if (savedState & Qt::WindowMaximized)
        window->showMaximized();
    else
        window->showNormal();
    qDebug() << "full screen: off";
}
