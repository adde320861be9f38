// extract_qwebchannel <out.js>: copies the WebChannel JavaScript client out of the
// Qt library's own resources, so pages always use the copy matching the linked Qt.
#include <QCoreApplication>
#include <QFile>
#include <QWebChannel>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: extract_qwebchannel out.js\n");
        return 2;
    }
    // Using the library makes sure it is loaded and its resources registered.
    QWebChannel channel;
    QFile in(QStringLiteral(":/qtwebchannel/qwebchannel.js"));
    QFile out(QString::fromLocal8Bit(argv[1]));
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly))
        return 1;
    return out.write(in.readAll()) > 0 ? 0 : 1;
}
