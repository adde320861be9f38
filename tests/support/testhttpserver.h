#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <thread>

namespace httplib {
class Server;
}

// An HTTP server on 127.0.0.1 with a free port, serving from its own thread so
// that tests may block the GUI thread (modal dialogs, nested loops) meanwhile.
class TestHttpServer
{
public:
    TestHttpServer();
    ~TestHttpServer();

    // Routes must be added before start().
    httplib::Server &server() { return *m_server; }
    void servePage(const QString &path, const QByteArray &html,
                   const char *contentType = "text/html; charset=utf-8");

    bool start();
    int port() const { return m_port; }
    QUrl url(const QString &path = QString()) const;
    // "127.0.0.1:<port>", the authority the client calls a base host.
    QString authority() const;

private:
    std::unique_ptr<httplib::Server> m_server;
    std::thread m_thread;
    int m_port = 0;
};
