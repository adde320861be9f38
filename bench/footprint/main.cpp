// The floor (one view loading one URL in a window of the screen's size) plus the named
// ingredients of the client, to measure what each adds. Logs "loaded" when the URL has
// loaded.
// Usage: bench-footprint URL PLUGIN_FOLDER [INGREDIENT[,INGREDIENT...]]
//   qml       QtWebEngine::initialize() (the Qt Quick module of the engine)
//   gles      Qt::AA_UseOpenGLES
//   highdpi   Qt::AA_EnableHighDpiScaling and Qt::AA_UseHighDpiPixmaps
//   chinese   Chinese locale, Qt's Chinese translation, Accept-Language zh-CN
//   proxy     the system's proxy settings
//   pdf       the PDF viewer setting
//   tray      the tray icon with its menu
//   plugins   the two module plug-ins loaded and instantiated
//   window    the view inside a main window's layout
//   channel   a web channel with an object on the page
//   waiting   a waiting page first, in a small view over the view's middle, while the
//             view's own page starts its renderer; then the URL in the view's page
//   mmap      freed big buffers go back to the system (fixed glibc mmap threshold)
#include "qtcompat.h"
#include "webprofile.h"

#include <QAction>
#include <QApplication>
#include <QDebug>
#include <QDir>
#include <QLibrary>
#include <QLocale>
#include <QMainWindow>
#include <QMenu>
#include <QNetworkProxyFactory>
#include <QPluginLoader>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QTranslator>
#include <QVBoxLayout>
#include <QWebChannel>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>

#ifdef __GLIBC__
#include <malloc.h>
#endif

static const char waitingPage[] =
    "data:text/html;charset=utf-8,<title>wait</title><div style='position:absolute;top:50%25;"
    "left:50%25'><b>...</b></div>";

int main(int argc, char *argv[])
{
    if (argc < 3)
        return 2;
    const QUrl target(QString::fromLocal8Bit(argv[1]));
    const QDir pluginFolder(QString::fromLocal8Bit(argv[2]));
    const QStringList with = QString::fromLocal8Bit(argc > 3 ? argv[3] : "").split(',');
    const auto has = [&with](const char *name) { return with.contains(QLatin1String(name)); };

#ifdef __GLIBC__
    if (has("mmap"))
        mallopt(M_MMAP_THRESHOLD, 256 * 1024);
#endif
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    if (has("highdpi"))
        QtCompat::enableHighDpiScaling();
    if (has("gles"))
        QCoreApplication::setAttribute(Qt::AA_UseOpenGLES);
    if (has("chinese"))
        QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    if (has("qml")) {
        // Loaded here rather than linked, so that the other rows do not map it.
        QLibrary module(QStringLiteral("Qt5WebEngine"), 5);
        if (auto initialize =
                reinterpret_cast<void (*)()>(module.resolve("_ZN11QtWebEngine10initializeEv")))
            initialize();
        else
            qWarning() << module.errorString();
    }
    QApplication app(argc, argv);
    if (has("proxy"))
        QNetworkProxyFactory::setUseSystemConfiguration(true);
    if (has("chinese")) {
        webProfile()->setHttpAcceptLanguage(QStringLiteral("zh-CN,zh"));
        auto *translator = new QTranslator(&app);
        if (translator->load(QStringLiteral("qtbase_zh_CN"),
                             QtCompat::translationsPath()))
            QCoreApplication::installTranslator(translator);
    }
    if (has("pdf"))
        webProfile()->settings()->setAttribute(QWebEngineSettings::PdfViewerEnabled, true);
    QSystemTrayIcon tray;
    QMenu menu;
    if (has("tray")) {
        tray.setIcon(QIcon(QStringLiteral(":/logo.ico")));
        tray.setToolTip(QStringLiteral("Mervo客户端"));
        for (const char *text : {"允许多个实例", "版本号:1.0.0.6", "退出客户端"})
            menu.addAction(QString::fromUtf8(text));
        tray.setContextMenu(&menu);
        tray.setVisible(true);
    }
    QList<QPluginLoader *> plugins;
    if (has("plugins")) {
        for (const char *name : {"signin_pl.so", "ledger_pl.so"}) {
            auto *loader = new QPluginLoader(pluginFolder.filePath(QString::fromLatin1(name)));
            if (!loader->instance())
                qWarning() << loader->errorString();
            plugins << loader;
        }
    }

    QMainWindow window;
    auto *view = new QWebEngineView;
    QWidget *shown = view;
    if (has("window")) {
        auto *central = new QWidget;
        auto *layout = new QVBoxLayout(central);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(view);
        window.setCentralWidget(central);
        shown = &window;
    }
    auto *page = new QWebEnginePage(webProfile(), view);
    QObject bridge;
    if (has("channel")) {
        auto *channel = new QWebChannel(page);
        channel->registerObject(QStringLiteral("qt"), &bridge);
        page->setWebChannel(channel);
    }
    view->setPage(page);
    QObject::connect(view, &QWebEngineView::loadFinished, [view](bool ok) {
        if (view->url().scheme().startsWith(QLatin1String("http")))
            qInfo("loaded %d", int(ok));
    });
    if (has("waiting")) {
        auto *over = new QWebEngineView(view);
        QRect box(0, 0, 200, 200);
        QTimer::singleShot(0, over, [view, over, box]() mutable {
            box.moveCenter(view->rect().center());
            over->setGeometry(box);
            over->show();
            over->raise();
        });
        QObject::connect(over->page(), &QWebEnginePage::loadFinished, page, [view, over, page, target] {
            page->runJavaScript(QString());
            QTimer::singleShot(200, view, [view, target] { view->load(target); });
            QObject::connect(view, &QWebEngineView::loadFinished, over, &QObject::deleteLater);
        });
        over->load(QUrl(QString::fromLatin1(waitingPage)));
    } else {
        view->load(target);
    }
    if (QScreen *screen = shown->screen())
        shown->setGeometry(screen->availableGeometry());
    shown->showMaximized();
    const int result = app.exec();
    delete view;
    return result;
}
