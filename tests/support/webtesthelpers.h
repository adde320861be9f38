#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QtTest>

#include <functional>
#include <memory>

namespace WebTest {

// Runs script in the page and waits for its result.
// The answer may come after a timeout, so it lands in shared state, never on this stack.
inline QVariant eval(QWebEnginePage *page, const QString &script, int timeoutMs = 10000)
{
    struct Answer
    {
        QVariant value;
        bool done = false;
    };
    auto answer = std::make_shared<Answer>();
    page->runJavaScript(script, [answer](const QVariant &v) {
        answer->value = v;
        answer->done = true;
    });
    (void)QTest::qWaitFor([&] { return answer->done; }, timeoutMs);
    return answer->value;
}

// Follows a plain link to address from the page, as a click on an <a> would.
inline void followLink(QWebEnginePage *page, const QString &address)
{
    eval(page, QStringLiteral("var a = document.createElement('a'); a.href = '%1';"
                              "document.body.appendChild(a); a.click();")
                   .arg(address));
}

// Waits until the view shows url and its document has finished loading. A new window
// names its first address while its initial empty document still stands, complete:
// that one does not count.
inline bool waitLoaded(QWebEngineView *view, const QUrl &url, int timeoutMs = 15000)
{
    const QString loaded = url == QUrl(QStringLiteral("about:blank"))
                               ? QStringLiteral("document.readyState === 'complete'")
                               : QStringLiteral("document.readyState === 'complete'"
                                                " && location.href !== 'about:blank'");
    return QTest::qWaitFor(
        [&] { return view->url() == url && eval(view->page(), loaded, 1000).toBool(); },
        timeoutMs);
}

// Runs act on the next application-modal widget once it is up (gives up after 5 s).
// The watch lives as long as the returned timer: keep it in the test that asked, so
// it can never act on a later test's windows or on locals that are gone.
[[nodiscard]] inline std::unique_ptr<QTimer> onNextModal(std::function<void(QWidget *)> act)
{
    auto timer = std::make_unique<QTimer>();
    QTimer *watch = timer.get();
    watch->setInterval(20);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QObject::connect(watch, &QTimer::timeout, [watch, act, clock] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal && clock->elapsed() < 5000)
            return;
        watch->stop();
        if (modal)
            act(modal);
    });
    watch->start();
    return timer;
}

// Runs act on the first application-modal widget for which match is true, within
// timeoutMs; kept alive like onNextModal's watch.
[[nodiscard]] inline std::unique_ptr<QTimer> onModal(std::function<bool(QWidget *)> match,
                                                     std::function<void(QWidget *)> act,
                                                     int timeoutMs = 15000)
{
    auto timer = std::make_unique<QTimer>();
    QTimer *watch = timer.get();
    watch->setInterval(20);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QObject::connect(watch, &QTimer::timeout, [watch, match, act, clock, timeoutMs] {
        QWidget *modal = QApplication::activeModalWidget();
        if (modal && match(modal)) {
            watch->stop();
            act(modal);
        } else if (clock->elapsed() > timeoutMs) {
            watch->stop();
        }
    });
    watch->start();
    return timer;
}

} // namespace WebTest
