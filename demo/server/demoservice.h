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
// so a person can edit them while it runs); what the installer is started with is
// recorded in stateDir. With signKey (a minisign secret key) the update answer carries
// the installer's signature for the version that update.json names.
class DemoService
{
public:
    DemoService(const QString &demoDir, const QString &stateDir, const QString &signKey);
    ~DemoService();

    // Binds 127.0.0.1:port (0: any free port); returns the port or -1.
    int bind(int port);
    void run();
    void stop();

private:
    void routes();
    QJsonArray accounts() const;
    QJsonObject signedInstaller(const QString &version);

    // Companies registered while the service runs: (company, user).
    QMutex registeredMutex;
    QList<QPair<QString, QString>> registered;

    std::unique_ptr<httplib::Server> server;
    QString demoDir;
    QString stateDir;
    QString signKey;
    QString installerPath;
    QMutex signMutex;
    int port = 0;
};
