// mervo-ini: reads and writes config.ini the way the deliverables do (QSettings, INI
// format), so Qt's quoting and escaping of values survive an installation.
//   mervo-ini set FILE KEY=VALUE...  sets Sys/KEY to every VALUE that is not empty
//   mervo-ini merge FROM INTO        copies every key of FROM into INTO; INTO keeps the rest
//   mervo-ini get FILE KEY           prints Sys/KEY as the deliverables read it
#include "configfile.h"

#include <QFile>
#include <QSettings>
#include <QStringList>

#include <cstdio>

namespace {

QString path(const char *arg)
{
    return QFile::decodeName(arg);
}

QString key(const char *arg)
{
    return QStringLiteral("Sys/") + QString::fromUtf8(arg);
}

bool written(QSettings &settings)
{
    settings.sync();
    // A file Qt could only partly read is rewritten from what it read, as every
    // deliverable does on its next write; only a failed write is an error.
    if (settings.status() == QSettings::AccessError) {
        std::fprintf(stderr, "config: cannot write %s\n", qPrintable(settings.fileName()));
        return false;
    }
    return true;
}

int set(int argc, char *argv[])
{
    if (argc < 3)
        return 2;
    QSettings settings(path(argv[2]), QSettings::IniFormat);
    for (int i = 3; i < argc; ++i) {
        const QString pair = QString::fromUtf8(argv[i]);
        const int equals = pair.indexOf(QLatin1Char('='));
        if (equals < 1)
            return 2;
        if (equals + 1 < pair.size())
            settings.setValue(QStringLiteral("Sys/") + pair.left(equals), pair.mid(equals + 1));
    }
    return written(settings) ? 0 : 1;
}

int merge(const char *from, const char *into)
{
    QSettings source(path(from), QSettings::IniFormat);
    if (!QFile::exists(source.fileName()) || source.status() != QSettings::NoError) {
        std::fprintf(stderr, "config: unreadable %s\n", qPrintable(source.fileName()));
        return 1;
    }
    QSettings target(path(into), QSettings::IniFormat);
    if (target.status() == QSettings::FormatError)
        std::fprintf(stderr, "config: %s has lines Qt cannot read; keeping the keys it can\n",
                     qPrintable(target.fileName()));
    const QStringList keys = source.allKeys();
    for (const QString &k : keys)
        target.setValue(k, source.value(k));
    return written(target) ? 0 : 1;
}

int get(const char *file, const char *name)
{
    const QSettings settings(path(file), QSettings::IniFormat);
    std::printf("%s\n", configText(settings, key(name)).toUtf8().constData());
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    const QByteArray mode = argc > 1 ? argv[1] : "";
    int result = 2;
    if (mode == "set")
        result = set(argc, argv);
    else if (mode == "merge" && argc == 4)
        result = merge(argv[2], argv[3]);
    else if (mode == "get" && argc == 4)
        result = get(argv[2], argv[3]);
    if (result == 2)
        std::fprintf(stderr, "usage: mervo-ini set FILE KEY=VALUE... | merge FROM INTO | "
                             "get FILE KEY\n");
    return result;
}
