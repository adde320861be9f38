#pragma once

#include "trustpolicy.h"

#include <QList>
#include <QMutex>
#include <QObject>
#include <QPointer>

#include <memory>

class BaseDialog;
class ProductWebEngineView;
class QWebEnginePage;
class QWebEngineView;
class QWidget;

// The workspace's secondary windows: pages the service opens in a new tab, each
// in a frame of its own that is deleted (with its view and page) when it closes.
// All of them close when the workspace view goes.
class SecondaryWindows final : public QObject
{
    Q_OBJECT

public:
    // mainView places the windows and runs the service's unmask script when one closes.
    explicit SecondaryWindows(ProductWebEngineView *mainView);
    ~SecondaryWindows() override;

    // A new window (invisible until its page's first navigation is judged); its view.
    // openedByService: one of the service's own pages asked for it.
    QWebEngineView *open(std::shared_ptr<const TrustPolicy> policy, const QString &baseHost,
                         bool openedByService);

    QWidget *newest() const;
    // Closes the newest window (a download start, an explicit close).
    void closeNewest();
    // Closes the window that shows page (the page asked with window.close()).
    void closeWindowOf(QWebEnginePage *page);
    void closeAll();
    int count() const;

private:
    void close(QWidget *frame);

    ProductWebEngineView *mainView;
    QList<QPointer<BaseDialog>> frames;
    // Held while a window closes, so that closing never runs into another close.
    QMutex closing;
};
