#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QMutex>
#include <QPair>
#include <QString>

#include <memory>

namespace httplib {
class Server;
}

// The stand-in of the hosted service. Pages come from demoDir/site; accounts and the
// update answer from demoDir/accounts.json and update.json (read on every request,
// so a person can edit them while it runs); the update it offers is the signed
// package in updateDir; requests are recorded in stateDir.
class DemoService
{
public:
    DemoService(const QString &demoDir, const QString &stateDir, const QString &updateDir);
    ~DemoService();

    // Binds 127.0.0.1:port (0: any free port); returns the port or -1.
    int bind(int port);
    // The host name in the addresses the service hands out (default 127.0.0.1), for
    // example one that only a proxy can resolve.
    void setPublicHost(const QString &host) { publicHost = host; }
    void run();
    void stop();

private:
    void routes();
    QString base() const;
    QJsonArray accounts() const;
    QJsonObject updatePackage() const;

    // Companies registered while the service runs: (company, user).
    QMutex registeredMutex;
    QList<QPair<QString, QString>> registered;

    std::unique_ptr<httplib::Server> server;
    QString demoDir;
    QString stateDir;
    QString updateDir;
    int port = 0;
    QString publicHost = QStringLiteral("127.0.0.1");
};
