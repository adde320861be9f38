// svg2ico <in.svg> <out.ico|out.png> [size]: renders the logo square at the given
// size (64 px by default); the output format follows the file suffix.
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    // Qt's ICO writer stores a single image; 64 px scales well for tray and title bars.
    const int size = argc == 4 ? QByteArray(argv[3]).toInt() : 64;
    if ((argc != 3 && argc != 4) || size < 1 || size > 1024) {
        std::fprintf(stderr, "usage: svg2ico in.svg out.ico|out.png [size]\n");
        return 2;
    }
    QSvgRenderer renderer(QString::fromLocal8Bit(argv[1]));
    if (!renderer.isValid())
        return 1;
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
    painter.end();
    QImageWriter writer(QString::fromLocal8Bit(argv[2]));
    return writer.write(image) ? 0 : 1;
}
