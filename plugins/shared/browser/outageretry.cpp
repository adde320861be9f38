#include "outageretry.h"

#include "clientpagehtml.h"
#include "jsstring.h"
#include "servicepage.h"

#include <QDebug>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <algorithm>

// Chromium shows its own error page when nothing answered; its error code names why.
static const char errorCodeScript[] =
    "(function () {"
    "  if (location.href.indexOf('chrome-error:') !== 0) return '';"
    "  var e = document.querySelector('.error-code');"
    "  var m = /ERR_[A-Z_]+/.exec(e ? e.textContent : '');"
    "  return m ? m[0] : 'ERROR_PAGE';"
    "})()";

static bool isWebUrl(const QUrl &url)
{
    return url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https");
}

// The client's page, written over Chromium's error page: the view keeps the failed
// address, so a reload (F5) tries it again.
static QString outagePageHtml()
{
    return clientPageHtml(QStringLiteral(":/outage.html"),
                          QStringLiteral("<title>无法连接到服务器</title><h1>无法连接到服务器</h1>"));
}

OutageRetry::OutageRetry(QWebEngineView *view)
    : QObject(view)
    , view(view)
{
    retryTimer.setSingleShot(true);
    reloadTimer.setSingleShot(true);
    connect(&retryTimer, &QTimer::timeout, this, &OutageRetry::attempt);
    connect(&reloadTimer, &QTimer::timeout, this, [this] {
        if (this->view) {
            lastAttempt.restart();
            this->view->reload();
        }
    });
    connect(view, &QWebEngineView::loadStarted, this, &OutageRetry::onLoadStarted);
    connect(view, &QWebEngineView::loadFinished, this, &OutageRetry::onLoadFinished);
}

int OutageRetry::backOffMs(int failures)
{
    const int doublings = std::clamp(failures - 1, 0, 5);
    return std::min(1000 << doublings, 30000);
}

bool OutageRetry::isUnreachable(const QString &errorCode)
{
    static const QStringList codes{"ERR_CONNECTION_REFUSED",
                                   "ERR_CONNECTION_RESET",
                                   "ERR_CONNECTION_CLOSED",
                                   "ERR_CONNECTION_ABORTED",
                                   "ERR_CONNECTION_FAILED",
                                   "ERR_CONNECTION_TIMED_OUT",
                                   "ERR_TIMED_OUT",
                                   "ERR_EMPTY_RESPONSE",
                                   "ERR_NAME_NOT_RESOLVED",
                                   "ERR_NAME_RESOLUTION_FAILED",
                                   "ERR_ADDRESS_UNREACHABLE",
                                   "ERR_INTERNET_DISCONNECTED",
                                   "ERR_NETWORK_CHANGED",
                                   "ERR_NETWORK_IO_SUSPENDED",
                                   "ERR_NETWORK_ACCESS_DENIED",
                                   "ERR_PROXY_CONNECTION_FAILED",
                                   "ERR_TUNNEL_CONNECTION_FAILED",
                                   "ERR_SOCKS_CONNECTION_FAILED",
                                   "ERR_SOCKS_CONNECTION_HOST_UNREACHABLE"};
    return codes.contains(errorCode);
}

int OutageRetry::sinceLastAttemptMs() const
{
    return lastAttempt.isValid() ? int(std::min<qint64>(lastAttempt.elapsed(), 1 << 30)) : 1 << 30;
}

void OutageRetry::onLoadStarted()
{
    // Any other load (an attempt, F5, the page itself) ends the wait.
    lastAttempt.restart();
    retryTimer.stop();
    ++failureCheck;
}

void OutageRetry::onLoadFinished(bool ok)
{
    if (!view)
        return;
    const QUrl url = view->url();
    if (!isWebUrl(url))
        return;
    // A refused certificate stays refused until the user reloads: the page says so.
    const auto *page = qobject_cast<const ServicePage *>(view->page());
    if (!ok && page && page->refusedCertificate())
        return;
    if (ok) {
        if (failures > 0)
            qDebug() << "service reached again:" << url.host();
        failures = 0;
        return;
    }
    classifyFailure(url);
}

void OutageRetry::classifyFailure(const QUrl &failed)
{
    const int check = ++failureCheck;
    QPointer<OutageRetry> self(this);
    view->page()->runJavaScript(QString::fromLatin1(errorCodeScript),
                                [self, check, failed](const QVariant &result) {
                                    if (!self || check != self->failureCheck)
                                        return;
                                    const QString code = result.toString();
                                    if (isUnreachable(code))
                                        self->showOutage(failed, code);
                                    else
                                        emit self->failedWithAnswer();
                                });
}

void OutageRetry::showOutage(const QUrl &failed, const QString &errorCode)
{
    intended = failed;
    ++failures;
    // The back-off is at least a second, so tries are never closer than that.
    const int wait = backOffMs(failures);
    qDebug().noquote() << "service unreachable:" << errorCode
                       << failed.adjusted(QUrl::RemoveUserInfo | QUrl::RemoveQuery).toString()
                       << "retry in" << wait << "ms";
    retryTimer.start(wait);
    // The address without its query: tokens stay off the screen.
    const QString address =
        failed.adjusted(QUrl::RemoveUserInfo | QUrl::RemoveQuery | QUrl::RemoveFragment).toString();
    // Put together piece by piece: addresses may hold "%1"-like text.
    const QString script =
        QStringLiteral("document.open(); document.write(") + jsStringLiteral(outagePageHtml()) +
        QStringLiteral("); document.close(); mervoOutage(") + jsStringLiteral(address) +
        QLatin1Char(',') + QString::number((wait + 999) / 1000) + QLatin1Char(',') +
        jsStringLiteral(failed.toString()) + QStringLiteral(");");
    view->page()->runJavaScript(script);
}

void OutageRetry::attempt()
{
    if (!view || !intended.isValid())
        return;
    qDebug() << "service retry:" << intended.host();
    view->load(intended);
}

bool OutageRetry::isOutageTitle(const QString &title)
{
    return title == QStringLiteral("无法连接到服务器");
}

void OutageRetry::reloadSoon()
{
    if (reloadTimer.isActive())
        return;
    reloadTimer.start(std::max(0, 1000 - sinceLastAttemptMs()));
}
