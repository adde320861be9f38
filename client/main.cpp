#include "clientenvironment.h"
#include "clientsettings.h"
#include "clientwait.h"
#include "configfile.h"
#include "enginesandbox.h"
#include "mainwindow.h"
#include "qtcompat.h"
#include "singleinstance.h"
#include "updaterlaunch.h"
#include "webprofile.h"

#include <QApplication>
#include <QDebug>
#include <QDir>
#include <QMessageBox>
#include <QProcess>
#include <QScreen>
#include <QWebEngineSettings>

#include <memory>

// Maximised; where no window manager maximises (a bare X server), the window
// takes the screen's available area itself.
static void showFullWindow(MainWindow *window)
{
    if (QScreen *screen = window->screen())
        window->setGeometry(screen->availableGeometry());
    window->showMaximized();
}

// Whether a client of this user and session runs already; the call wakes it (its window
// comes back). Asked with a bare QCoreApplication, so that a second start ends
// before the windowing system, OpenGL and the web engine start: they take most of a start.
static bool wokeRunningClient(int &argc, char **argv)
{
    QCoreApplication probe(argc, argv);
    QDir::setCurrent(QCoreApplication::applicationDirPath());
    if (ClientSettings().value(QStringLiteral("Sys/MultiClient"), false).toBool())
        return false;
    SingleInstance instance(QStringLiteral("mervo_client"));
    return !instance.serverName().isEmpty() && instance.isRunning();
}

int main(int argc, char *argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts, true);
    QtCompat::enableHighDpiScaling();
    QCoreApplication::setAttribute(Qt::AA_UseOpenGLES, true);
    ClientEnvironment::useChineseLocale();
    EngineSandbox::keepOnForOrdinaryUsers();
    if (wokeRunningClient(argc, argv))
        return 0;

    QtCompat::initializeWebEngine();
    ClientEnvironment::isolateSitesInOneRendererEach();

    auto app = std::make_unique<QApplication>(argc, argv);
    // From here on every relative path (settings, plug-ins, updater) is the program folder.
    QDir::setCurrent(QCoreApplication::applicationDirPath());
    QApplication::setQuitOnLastWindowClosed(false);
    QtCompat::useUtf8ForLocalText();

    const ClientSettings settings;
    // Only a file the client may write is copied aside; a package's is read as it is.
    if (settings.writesInstallation())
        keepDamagedConfigAside();
    const bool multiClient = settings.value(QStringLiteral("Sys/MultiClient"), false).toBool();
    if (!settings.choicesWritable()) {
        // Told once a start: every choice made in this run would be gone at the next.
        qWarning().noquote() << "settings: cannot write" << settings.choicesFile()
                             << "- the user's choices are not kept";
        QMessageBox::warning(nullptr, QStringLiteral("Mervo客户端"),
                             QStringLiteral("无法保存您的设置：%1 不可写。\n"
                                            "关闭方式、缩放等选择在客户端退出后不会保留。")
                                 .arg(QDir::toNativeSeparators(settings.choicesFile())));
    }

    auto instance = std::make_unique<SingleInstance>(QStringLiteral("mervo_client"));
    // Without a private place for the name the guard could only lock the user out.
    const bool guarded = !multiClient && !instance->serverName().isEmpty();
    if (!multiClient && !guarded)
        qWarning() << "single instance: no private runtime folder, running unguarded";
    if (guarded) {
        if (!instance->listen()) {
            // A client started since the first look, or a start racing this one, won the
            // name: it shows its window, we end.
            if (instance->lostToRunningInstance())
                return 0;
            qDebug() << instance->errorString();
            QMessageBox::critical(nullptr, QStringLiteral("Mervo客户端"),
                                  QStringLiteral("客户端无法启动：另一个客户端正在启动或没有响应。"
                                                 "请稍后再试，或结束已运行的客户端后重新启动。"));
            return 1;
        }
    }

    // Before the engine starts: without its sandbox it would abort, unseen.
    const EngineSandbox::Problem sandbox = EngineSandbox::problem();
    if (sandbox != EngineSandbox::Problem::None) {
        QMessageBox::critical(nullptr, QStringLiteral("Mervo客户端"),
                              EngineSandbox::message(sandbox));
        return 1;
    }

    // Only the first start gets this far: a second one wakes the first and ends before
    // the web engine starts. Before the web profile exists: it reads the proxy choice
    // once, and the graphics path when it starts.
    ClientEnvironment::useSystemProxy();
    ClientEnvironment::compositeInSoftwareWithoutGpu();
    ClientEnvironment::installTranslations(app.get());
    qInfo().noquote() << "web engine:" << ClientEnvironment::webEngineDescription();
    webProfile()->settings()->setAttribute(QWebEngineSettings::PdfViewerEnabled,
                                                        true);

    auto updater = std::make_unique<QProcess>();
    updater->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    updater->start(UpdaterLaunch::programPath(), UpdaterLaunch::arguments(), QIODevice::ReadWrite);
    updater->waitForFinished(clientWaitMs());

    auto window = std::make_unique<MainWindow>();
    showFullWindow(window.get());

    if (guarded) {
        MainWindow *shown = window.get();
        QObject::connect(instance.get(), &SingleInstance::newInstanceCreated, instance.get(),
                         [shown] {
                             showFullWindow(shown);
                             shown->raise();
                             shown->activateWindow();
                         });
    }

    const int result = app->exec();
    // A start from now on finds no client to wake and starts afresh, rather than waking
    // one that is going away.
    instance.reset();
    window.reset();
    // The released views and pages go now, before the web profile shuts down.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    updater.reset();
    app.reset();
    return result;
}
