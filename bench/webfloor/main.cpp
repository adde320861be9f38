// The floor for any Qt WebEngine client: one view loading one URL, printing
// "loaded" when the first load finishes.
#include <QApplication>
#include <QWebEngineView>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    if (argc < 2)
        return 2;
    QWebEngineView view;
    QObject::connect(&view, &QWebEngineView::loadFinished, [](bool ok) {
        std::printf("loaded %d\n", int(ok));
        std::fflush(stdout);
    });
    view.load(QUrl(QString::fromLocal8Bit(argv[1])));
    view.showMaximized();
    return app.exec();
}
