#pragma once

#include <QObject>
#include <QPointer>

class QEvent;

class QWebEngineView;

// Page zoom as browsers do it: Ctrl with +, - and 0, and Ctrl with the mouse wheel,
// in the browsers' steps. The level is one for every view: kept as Sys/Zoom in
// config.ini, applied to each view when it is attached and to every view of this
// module when it changes.
class ZoomControl final : public QObject
{
    Q_OBJECT

public:
    // Attaches to view (and goes with it).
    static ZoomControl *attach(QWebEngineView *view);

    // The step after (direction > 0) or before (direction < 0) factor; direction 0: 100 %.
    static qreal step(qreal factor, int direction);
    // Sys/Zoom, or 1 when absent or not a valid level.
    static qreal storedFactor();

    // Zooms the view one step in, out (direction < 0) or back to 100 % (0).
    void zoom(int direction);

private:
    explicit ZoomControl(QWebEngineView *view);
    // Ctrl with the wheel, over the page.
    bool onEvent(QEvent *event);
    void apply(qreal factor);

    QPointer<QWebEngineView> view;
};
