#include "renderchildfilter.h"

#include <QChildEvent>
#include <QEvent>
#include <QWebEngineView>

RenderChildFilter::RenderChildFilter(QWebEngineView *view)
    : QObject(view)
    , view(view)
{
    view->installEventFilter(this);
    for (QWidget *child : view->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly))
        child->installEventFilter(this);
}

RenderChildFilter *RenderChildFilter::of(QWebEngineView *view)
{
    if (auto *filter = view->findChild<RenderChildFilter *>(QString(), Qt::FindDirectChildrenOnly))
        return filter;
    return new RenderChildFilter(view);
}

void RenderChildFilter::add(QObject *context, Handler handler)
{
    handlers.push_back({context, std::move(handler)});
}

bool RenderChildFilter::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::ChildAdded:
        if (watched == view) {
            if (auto *child = qobject_cast<QWidget *>(static_cast<QChildEvent *>(event)->child()))
                child->installEventFilter(this);
        }
        break;
    case QEvent::KeyPress:
    case QEvent::Wheel:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
        for (const Entry &entry : handlers)
            if (entry.context && entry.handler(event))
                return true;
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
