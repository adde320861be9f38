#include "zoomcontrol.h"

#include "clientsettings.h"
#include "renderchildfilter.h"

#include <QDebug>
#include <QEvent>
#include <QList>
#include <QShortcut>
#include <QWebEngineView>
#include <QWheelEvent>

#include <cmath>

// The zoom levels of the common browsers.
static const qreal levels[] = {0.25, 0.33, 0.5,  0.67, 0.75, 0.8, 0.9, 1.0, 1.1,
                               1.25, 1.5,  1.75, 2.0,  2.5,  3.0, 4.0, 5.0};

static QList<QPointer<ZoomControl>> &attachedControls()
{
    static QList<QPointer<ZoomControl>> controls;
    return controls;
}

ZoomControl::ZoomControl(QWebEngineView *view)
    : QObject(view)
    , view(view)
{}

ZoomControl *ZoomControl::attach(QWebEngineView *view)
{
    auto *control = new ZoomControl(view);
    attachedControls().removeAll(nullptr);
    attachedControls().append(control);

    const struct
    {
        QKeySequence keys;
        int direction;
    } bindings[] = {{QKeySequence(Qt::CTRL | Qt::Key_Plus), 1},
                    {QKeySequence(Qt::CTRL | Qt::Key_Equal), 1},
                    {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Equal), 1},
                    {QKeySequence(Qt::CTRL | Qt::Key_Minus), -1},
                    {QKeySequence(Qt::CTRL | Qt::Key_0), 0}};
    for (const auto &binding : bindings) {
        auto *shortcut = new QShortcut(binding.keys, view);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        const int direction = binding.direction;
        connect(shortcut, &QShortcut::activated, control,
                [control, direction] { control->zoom(direction); });
    }
    RenderChildFilter::of(view)->add(control,
                                     [control](QEvent *event) { return control->onEvent(event); });
    // Applied once a page loads (asking the view earlier would make it create a page
    // of its own); a new document may come with the engine's own level: keep ours.
    connect(view, &QWebEngineView::loadStarted, control,
            [control] { control->apply(storedFactor()); });
    connect(view, &QWebEngineView::loadFinished, control,
            [control] { control->apply(storedFactor()); });
    return control;
}

qreal ZoomControl::step(qreal factor, int direction)
{
    if (direction == 0)
        return 1.0;
    if (direction > 0) {
        for (qreal level : levels)
            if (level > factor + 0.001)
                return level;
        return levels[std::size(levels) - 1];
    }
    for (auto it = std::rbegin(levels); it != std::rend(levels); ++it)
        if (*it < factor - 0.001)
            return *it;
    return levels[0];
}

qreal ZoomControl::storedFactor()
{
    const QString text = ClientSettings().text(QStringLiteral("Sys/Zoom"));
    if (text.isEmpty())
        return 1.0;
    bool ok = false;
    const qreal factor = text.toDouble(&ok);
    if (!ok || !std::isfinite(factor) || factor < levels[0] ||
        factor > levels[std::size(levels) - 1]) {
        qDebug() << "zoom setting ignored:" << text;
        return 1.0;
    }
    return factor;
}

void ZoomControl::zoom(int direction)
{
    if (!view)
        return;
    const qreal factor = step(view->zoomFactor(), direction);
    ClientSettings().setValue(QStringLiteral("Sys/Zoom"), QString::number(factor));
    qDebug() << "zoom:" << factor;
    attachedControls().removeAll(nullptr);
    for (const QPointer<ZoomControl> &control : qAsConst(attachedControls()))
        control->apply(factor);
}

void ZoomControl::apply(qreal factor)
{
    if (view && std::abs(view->zoomFactor() - factor) > 0.001)
        view->setZoomFactor(factor);
}

bool ZoomControl::onEvent(QEvent *event)
{
    if (event->type() != QEvent::Wheel)
        return false;
    auto *wheel = static_cast<QWheelEvent *>(event);
    if (!(wheel->modifiers() & Qt::ControlModifier))
        return false;
    const int delta = wheel->angleDelta().y();
    if (delta != 0)
        zoom(delta > 0 ? 1 : -1);
    return true;
}
