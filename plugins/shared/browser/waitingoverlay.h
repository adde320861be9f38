#pragma once

#include <QObject>
#include <QPointer>

class QWebEnginePage;
class QWebEngineView;

// The waiting page in a small view over the middle of a service view. The service view
// keeps its own page from the start, and its renderer starts (on the page's initial empty
// document) once the waiting page stands: the service address then loads into a page whose
// renderer runs already, with nothing before it in its history, and no page is put into
// the view on the way (that would draw its first frame anew). Both pages are white, so the
// waiting page's box is all that shows. The overlay goes once the view loads anything.
class WaitingOverlay final : public QObject
{
    Q_OBJECT

public:
    // waiting: a page set up like the view's own (same profile and bridge), for the waiting
    // page; the overlay's view owns it.
    static WaitingOverlay *show(QWebEngineView *view, QWebEnginePage *waiting);

    QWebEngineView *waitingView() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    WaitingOverlay(QWebEngineView *view, QWebEnginePage *waiting);
    void place();
    void end();

    QWebEngineView *view;
    QPointer<QWebEngineView> m_waitingView;
    bool loadEndLogged = false;
};
