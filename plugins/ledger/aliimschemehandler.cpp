#include "aliimschemehandler.h"

#include <QDebug>
#include <QDesktopServices>
#include <QWebEngineUrlRequestJob>

AliimSchemeHandler::AliimSchemeHandler(QObject *parent)
    : QWebEngineUrlSchemeHandler(parent)
{
}

void AliimSchemeHandler::requestStarted(QWebEngineUrlRequestJob *job)
{
    const QUrl url = job->requestUrl();
    qDebug() << "Custom scheme request: " << url;
    if (url.toString().startsWith(QLatin1String("aliim:"), Qt::CaseInsensitive))
        QDesktopServices::openUrl(url);
    // The link has gone to the desktop; the page gets no content, and must not wait for any.
    job->fail(QWebEngineUrlRequestJob::RequestAborted);
}
