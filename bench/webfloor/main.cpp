// The floor for any Qt WebEngine client: one view loading one URL in a window of the
// screen's size (as the client's), logging "loaded" when the first load finishes.
#include <QApplication>
#include <QDebug>
#include <QScreen>
#include <QWebEngineView>

int main(int argc, char *argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    if (argc < 2)
        return 2;
    QWebEngineView view;
    QObject::connect(&view, &QWebEngineView::loadFinished,
                     [](bool ok) { qInfo("loaded %d", int(ok)); });
    view.load(QUrl(QString::fromLocal8Bit(argv[1])));
    // Without a window manager nothing maximises: take the screen's area directly.
    if (QScreen *screen = view.screen())
        view.setGeometry(screen->availableGeometry());
    view.showMaximized();
    return app.exec();
}
