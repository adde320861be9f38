#include "aliimschemehandler.h"

#include "desktophandoff.h"

#include <QDebug>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestJob>

AliimSchemeHandler::AliimSchemeHandler(QObject *parent)
    : QWebEngineUrlSchemeHandler(parent)
{}

void AliimSchemeHandler::requestStarted(QWebEngineUrlRequestJob *job)
{
    const QUrl url = job->requestUrl();
    qDebug() << "Custom scheme request: " << url;
    if (DesktopHandOff::isChatScheme(url))
        DesktopHandOff::open(url);
    // The link has gone to the desktop; the page gets no content, and must not wait for any.
    job->fail(QWebEngineUrlRequestJob::RequestAborted);
}

void AliimSchemeHandler::installOn(QWebEngineProfile *profile)
{
    for (const QByteArray scheme : {"aliim", "tencent", "kelda"}) {
        if (!profile->urlSchemeHandler(scheme))
            profile->installUrlSchemeHandler(scheme, new AliimSchemeHandler(profile));
    }
}
