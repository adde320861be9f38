#include "requestinterceptor.h"

#include "protocolfetch.h"
#include "servicepage.h"

#include <QDebug>
#include <QSslSocket>

RequestInterceptor::RequestInterceptor(QWebEnginePage *page)
    : QWebEngineUrlRequestInterceptor(page)
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
    // Only the service's own pages get this help, never a page they linked to.
    auto *servicePage = qobject_cast<ServicePage *>(page.data());
    if (!servicePage || !servicePage->trustPolicy()->isServiceOrigin(page->url())) {
        qDebug() << "protocol call of a foreign page left alone:" << (page ? page->url() : QUrl());
        return;
    }
    qDebug() << "QSslSocket=" << QSslSocket::sslLibraryBuildVersionString();
    qDebug() << "OpenSSL支持情况:" << QSslSocket::supportsSsl();
    QString address = url;
    if (!QSslSocket::supportsSsl()) {
        qDebug() << "no support ssl" << QSslSocket::sslLibraryBuildVersionString();
        address = ProtocolFetch::relayAddress(address);
    }
    // Asynchronous: a nested event loop here would let the page (and this object) be
    // deleted under the engine's call, for example by a log-out meanwhile.
    ProtocolFetch::fetch(address, this, [this](const QByteArray &body) {
        const QString link = ProtocolFetch::launchLink(body);
        if (link.isEmpty() || !page)
            return;
        qDebug() << link;
        page->runJavaScript(ProtocolFetch::navigationScript(link));
        page->runJavaScript(ProtocolFetch::hideInstallFramesScript());
    });
}
