// config.ini as an editor, another program or a damaged disk may have left it: whatever
// comes before them, the sound key lines after it are read, and still read after a write.
#include "clientsettings.h"
#include "fuzzinput.h"

#include <QFile>
#include <QTemporaryDir>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir dir;
    const FuzzInput input(data, size);
    const QString file = dir.filePath(QStringLiteral("config.ini"));
    for (const QString &old : QDir(dir.path()).entryList(QDir::Files))
        QFile::remove(dir.filePath(old));
    {
        QFile ini(file);
        if (!ini.open(QIODevice::WriteOnly | QIODevice::Truncate))
            qFatal("fuzz: cannot write config.ini");
        ini.write(input.bytes + "\n[Sys]\nFuzzLoginUrl=http://a/login,http://b/login\n");
    }
    const QString expected = QStringLiteral("http://a/login,http://b/login");
    ClientSettings settings(file, QString(), QString());
    FUZZ_ASSERT(settings.text(QStringLiteral("Sys/FuzzLoginUrl")) == expected);
    FUZZ_ASSERT(settings.setValue(QStringLiteral("Sys/FuzzZoom"), QStringLiteral("1.25")));
    const ClientSettings after(file, QString(), QString());
    FUZZ_ASSERT(after.text(QStringLiteral("Sys/FuzzLoginUrl")) == expected);
    FUZZ_ASSERT(after.text(QStringLiteral("Sys/FuzzZoom")) == QStringLiteral("1.25"));
    return 0;
}
