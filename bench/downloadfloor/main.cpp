// The floor for a download in a Qt WebEngine client: a bare view, once a line arrives on
// its standard input, loads URL, whose answer is a download, and accepts it into FILE
// DELAY_MS later (default 0; the client's save dialog takes that long). Logs "ready",
// "requested", "accepted" and "finished STATE", then ends.
#include "qtcompat.h"
#include "webprofile.h"

#include <QApplication>
#include <QDebug>
#include <QEventLoop>
#include <QFileInfo>
#include <QScreen>
#include <QSocketNotifier>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

int main(int argc, char *argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    if (argc < 3)
        return 2;
    const QFileInfo target(QString::fromLocal8Bit(argv[2]));
    const int delayMs = argc > 3 ? QByteArray(argv[3]).toInt() : 0;
    QWebEngineView view;
    // The client's profile: on Qt 6 the view's own default would keep nothing on disk.
    view.setPage(new QWebEnginePage(webProfile(), &view));
    QObject::connect(webProfile(), &QWebEngineProfile::downloadRequested,
                     &view, [&](QWebEngineDownloadRequest *item) {
                         qInfo("requested");
                         QtCompat::onDownloadFinished(item, &app, [item] {
                             qInfo("finished %d", int(item->state()));
                             QCoreApplication::quit();
                         });
                         item->setDownloadDirectory(target.absolutePath());
                         item->setDownloadFileName(target.fileName());
                         // Held like the client holds it while its save dialog is open.
                         if (delayMs > 0) {
                             QEventLoop wait;
                             QTimer::singleShot(delayMs, &wait, &QEventLoop::quit);
                             wait.exec();
                         }
                         item->accept();
                         qInfo("accepted");
                     });
    const QUrl url(QString::fromLocal8Bit(argv[1]));
    QSocketNotifier input(0, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &view, [&] {
        input.setEnabled(false);
        view.load(url);
    });
    view.setHtml(QStringLiteral("<p>floor</p>"));
    QObject::connect(&view, &QWebEngineView::loadFinished, &view, [] { qInfo("ready"); });
    if (QScreen *screen = view.screen())
        view.setGeometry(screen->availableGeometry());
    view.showMaximized();
    return app.exec();
}
