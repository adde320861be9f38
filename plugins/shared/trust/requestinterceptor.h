#pragma once

#include <QPointer>
#include <QWebEnginePage>
#include <QWebEngineUrlRequestInterceptor>

// Watches one page's requests for the chat provider's protocol call and sends the
// page to the "tencent:" launch link the call answers with. Requests themselves
// pass unchanged. The interceptor belongs to its page: its fetches end with it.
class RequestInterceptor final : public QWebEngineUrlRequestInterceptor
{
    Q_OBJECT

public:
    explicit RequestInterceptor(QWebEnginePage *page);

    void interceptRequest(QWebEngineUrlRequestInfo &info) override;

private:
    QPointer<QWebEnginePage> page;
};
