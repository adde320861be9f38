#include "installerdownloader.h"
#include "updatecheck.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDebug>
#include <QNetworkProxyFactory>
#include <QTextCodec>

#include <cstdlib>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationVersion(QStringLiteral("1.0.0.5"));
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
    // Behind a company proxy: http_proxy, https_proxy and no_proxy as the system sets them.
    QNetworkProxyFactory::setUseSystemConfiguration(true);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("mervo updater"));
    parser.addHelpOption();
    parser.addVersionOption();
    UpdateCheck::addOptions(parser);
    parser.process(app);

    const UpdateCheck::Request request =
        UpdateCheck::buildRequest(parser, UpdateCheck::readInstallation());
    const UpdateCheck::Answer answer =
        UpdateCheck::parseAnswer(UpdateCheck::postJson(request.url, request.body));

    InstallerDownloader downloader(request.mainProgram);
    if (answer.needUpdate
        && downloader.startDownload(answer.url, answer.installerName, answer.sha256))
        return app.exec();
    // No update (or nothing to download): the waiting client goes on at once.
    std::exit(0);
}
