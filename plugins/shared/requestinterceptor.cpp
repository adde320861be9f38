#include "requestinterceptor.h"

#include "protocolfetch.h"

#include <QDebug>
#include <QSslSocket>

RequestInterceptor::RequestInterceptor(QWebEnginePage *page, QObject *parent)
    : QWebEngineUrlRequestInterceptor(parent)
    , page(page)
{
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
