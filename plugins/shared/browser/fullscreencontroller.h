#pragma once

#include <QList>
#include <QMargins>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QSize>

class QEvent;
class QLayout;
class QWebEngineFullScreenRequest;
class QWebEnginePage;
class QWebEngineView;
class QWidget;

// Full screen for the window a view is in: the window shows only the view, over the
// whole screen, and gets its earlier state back afterwards. A page's request is
// accepted only when the window really follows it; Esc and the page's own exit end
// it. F11 toggles it for the window in front.
class FullScreenController final : public QObject
{
    Q_OBJECT

public:
    static FullScreenController *attach(QWebEngineView *view);
    ~FullScreenController() override;

    bool isActive() const { return active; }
    // F11: in, or out (for the page too).
    void toggle();

private:
    explicit FullScreenController(QWebEngineView *view);
    void watchPage();
    void onRequest(QWebEngineFullScreenRequest request);
    void pageLeft();
    bool onEvent(QEvent *event);
    bool enter();
    void leave(bool show = true);

    QPointer<QWebEngineView> view;
    QPointer<QWebEnginePage> watchedPage;
    QPointer<QWidget> window;
    Qt::WindowStates savedState;
    QSize savedMinimum;
    QSize savedMaximum;
    QList<QPointer<QWidget>> hidden;
    QList<QPair<QPointer<QLayout>, QPair<QMargins, int>>> layouts;
    bool active = false;
    bool pageFullScreen = false;
    bool enteredForPage = false;
};
