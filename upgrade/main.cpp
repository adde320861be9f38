#include "clientwait.h"
#include "installerdownloader.h"
#include "keptinstaller.h"
#include "qtcompat.h"
#include "updatecheck.h"
#include "updatekeys.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDeadlineTimer>
#include <QDebug>
#include <QNetworkProxyFactory>

#include <cstdlib>

int main(int argc, char *argv[])
{
    // The client started waiting for us just before; a margin keeps us on the safe side.
    const QDeadlineTimer clientWaits(clientWaitMs() * 9 / 10);
    // The progress pop-up needs no OpenGL; on X11 Qt would otherwise load it (with
    // Mesa's LLVM-based renderer that alone is 50 MiB of resident memory).
    const bool glOffHereOnly = !qEnvironmentVariableIsSet("QT_XCB_GL_INTEGRATION");
    if (glOffHereOnly)
        qputenv("QT_XCB_GL_INTEGRATION", "none");
    QApplication app(argc, argv);
    // Read by now. The installer and the client it starts must not inherit it: the new
    // client would run without OpenGL (Qt 6's views then draw nothing at all).
    if (glOffHereOnly)
        qunsetenv("QT_XCB_GL_INTEGRATION");
    QApplication::setApplicationVersion(QStringLiteral(MERVO_VERSION));
    QtCompat::useUtf8ForLocalText();
    // Behind a company proxy: http_proxy, https_proxy and no_proxy as the system sets them.
    QNetworkProxyFactory::setUseSystemConfiguration(true);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("mervo updater"));
    parser.addHelpOption();
    parser.addVersionOption();
    UpdateCheck::addOptions(parser);
    parser.process(app);

    if (UpdateCheck::packageManaged()) {
        // Nothing is asked or fetched; the waiting client goes on at once.
        qDebug().noquote() << "updates: managed by the system's package manager";
        std::exit(0);
    }
    if (UpdateKeys::unsignedAccepted())
        qDebug() << "updates are not signed";
    const UpdateCheck::Installation installation = UpdateCheck::readInstallation();
    const UpdateCheck::Request request = UpdateCheck::buildRequest(parser, installation);
    const UpdateCheck::Answer answer =
        UpdateCheck::parseAnswer(UpdateCheck::postJson(request.url, request.body));
    // An installer kept from an earlier run that the service no longer offers goes.
    if (answer.answered && !answer.needUpdate)
        KeptInstaller::removeAllBut(QString());

    // Without Sys/Version (a hand-made config.ini) the updater's own version is the one
    // to beat, so no older signed installer can be replayed.
    const QString installedVersion =
        installation.version.isEmpty() ? QApplication::applicationVersion() : installation.version;
    InstallerDownloader downloader(request.mainProgram, UpdateKeys::publicKeys(),
                                   UpdateKeys::unsignedAccepted());
    downloader.setClientWaitsUntil(clientWaits);
    if (answer.needUpdate && downloader.startDownload(answer, installedVersion, request.url))
        return app.exec();
    // No update (or nothing to download): the waiting client goes on at once.
    std::exit(0);
}
