#pragma once

#include <QObject>
#include <QPointer>

#include <functional>
#include <vector>

class QWebEngineView;

// The keys, wheel and mouse buttons of one view before its page sees them. Chromium
// takes input in a child widget it makes with the page (and again after a renderer
// crash), so the filter watches the view and every child it gets. One per view.
class RenderChildFilter final : public QObject
{
    Q_OBJECT

public:
    // A handler returns true to keep the event from the page.
    using Handler = std::function<bool(QEvent *)>;

    // The view's filter, made on first use; it goes with the view.
    static RenderChildFilter *of(QWebEngineView *view);

    // Handlers are asked in the order added, while their context lives.
    void add(QObject *context, Handler handler);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit RenderChildFilter(QWebEngineView *view);

    struct Entry
    {
        QPointer<QObject> context;
        Handler handler;
    };
    QWebEngineView *view;
    std::vector<Entry> handlers;
};
