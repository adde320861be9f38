#include "requestinterceptor.h"

#include "protocolfetch.h"

#include <QDebug>
#include <QSslSocket>

RequestInterceptor::RequestInterceptor(QWebEnginePage *page, QObject *parent)
    : QWebEngineUrlRequestInterceptor(parent)
    , page(page)
{
    // A pop-up that the view shows in place gives the page new web contents, which
    // do not know the page's interceptor; hand it over again whenever a load starts.
    // (Never pass null in between: dropping the last interceptor mid-load crashes.)
    connect(page, &QWebEnginePage::loadStarted, this, [this] {
        if (this->page)
            this->page->setUrlRequestInterceptor(this);
    });
}

void RequestInterceptor::interceptRequest(QWebEngineUrlRequestInfo &info)
{
    const QString url = info.requestUrl().toString();
    if (!ProtocolFetch::isProtocolRequest(url))
        return;
    qDebug() << "QSslSocket=" << QSslSocket::sslLibraryBuildVersionString();
    qDebug() << "OpenSSL支持情况:" << QSslSocket::supportsSsl();
    QString address = url;
    if (!QSslSocket::supportsSsl()) {
        qDebug() << "no support ssl" << QSslSocket::sslLibraryBuildVersionString();
        address = ProtocolFetch::relayAddress(address);
    }
    const QString link = ProtocolFetch::launchLink(ProtocolFetch::fetchSync(address));
    if (link.isEmpty() || !page)
        return;
    qDebug() << link;
    page->runJavaScript(ProtocolFetch::navigationScript(link));
    page->runJavaScript(ProtocolFetch::hideInstallFramesScript());
}
