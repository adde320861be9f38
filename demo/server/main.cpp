// mervo-demo-service [--port N] [--port-file FILE] [--state DIR] [--demo DIR] [--updates DIR]
//                     [--host NAME]
#include "demoservice.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <csignal>
#include <cstdio>

static DemoService *running = nullptr;

static void stopOnSignal(int)
{
    if (running)
        running->stop();
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Mervo demo service on 127.0.0.1"));
    parser.addHelpOption();
    parser.addOptions(
        {{"port", "Port to listen on (0: any free port).", "port", "0"},
         {"port-file", "Write the chosen port to this file.", "file"},
         {"state", "Folder for the service's records.", "dir", QDir::tempPath()},
         {"demo", "The demo folder (site, accounts).", "dir", MERVO_DEMO_DIR},
         {"updates", "Folder of the update package on offer.", "dir", MERVO_DEMO_UPDATE_DIR},
         {"host", "Host name in the addresses the service hands out.", "name", "127.0.0.1"}});
    parser.process(app);

    DemoService service(parser.value("demo"), parser.value("state"), parser.value("updates"));
    service.setPublicHost(parser.value("host"));
    const int port = service.bind(parser.value("port").toInt());
    if (port < 0) {
        std::fprintf(stderr, "cannot listen on 127.0.0.1:%s\n", qPrintable(parser.value("port")));
        return 1;
    }
    if (parser.isSet("port-file")) {
        QFile file(parser.value("port-file"));
        if (file.open(QIODevice::WriteOnly))
            file.write(QByteArray::number(port));
    }
    std::printf("Mervo demo service on http://127.0.0.1:%d/\n", port);
    std::fflush(stdout);
    running = &service;
    std::signal(SIGTERM, stopOnSignal);
    std::signal(SIGINT, stopOnSignal);
    service.run();
    return 0;
}
