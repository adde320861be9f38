#include "aliimschemehandler.h"

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
    // Navigations to chat links are handed off by the pages; no content for anything else.
    job->fail(QWebEngineUrlRequestJob::RequestAborted);
}

void AliimSchemeHandler::installOn(QWebEngineProfile *profile)
{
    for (const QByteArray scheme : {"aliim", "tencent", "kelda"}) {
        if (!profile->urlSchemeHandler(scheme))
            profile->installUrlSchemeHandler(scheme, new AliimSchemeHandler(profile));
    }
}
