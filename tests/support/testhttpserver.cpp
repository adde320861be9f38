#include "testhttpserver.h"

#include <httplib.h>

#include <chrono>

TestHttpServer::TestHttpServer()
    : m_server(std::make_unique<httplib::Server>())
{
}

TestHttpServer::~TestHttpServer()
{
    m_server->stop();
    if (m_thread.joinable())
        m_thread.join();
}

void TestHttpServer::servePage(const QString &path, const QByteArray &html,
                               const char *contentType)
{
    const std::string body = html.toStdString();
    const std::string type = contentType;
    m_server->Get(path.toStdString(), [body, type](const httplib::Request &, httplib::Response &res) {
        res.set_content(body, type.c_str());
    });
}

bool TestHttpServer::start()
{
    m_port = m_server->bind_to_any_port("127.0.0.1");
    if (m_port <= 0)
        return false;
    m_thread = std::thread([this] { m_server->listen_after_bind(); });
    while (!m_server->is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return true;
}

QUrl TestHttpServer::url(const QString &path) const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path));
}

QString TestHttpServer::authority() const
{
    return QStringLiteral("127.0.0.1:%1").arg(m_port);
}
