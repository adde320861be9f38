// login.secret as another program or a damaged disk may have left it.
#include "fuzzinput.h"
#include "loginrecord.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    static QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.path().toUtf8());
    QDir().mkpath(QFileInfo(LoginRecord::path()).path());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const FuzzInput input(data, size);
    {
        QFile record(LoginRecord::path());
        if (!record.open(QIODevice::WriteOnly | QIODevice::Truncate))
            qFatal("fuzz: cannot write the record");
        record.write(input.bytes);
    }
    const LoginRecord::Loaded loaded = LoginRecord::load();
    // What pages may read never carries the token or the quick-login digest.
    const QString answer = LoginRecord::userAnswer(loaded);
    const QJsonObject shown = QJsonDocument::fromJson(answer.toUtf8()).object();
    FUZZ_ASSERT(!shown.contains(QStringLiteral("token")));
    FUZZ_ASSERT(!shown.contains(QStringLiteral("quickLoginCode")));
    LoginRecord::loadIfCodeMatches(QStringLiteral("8888"));
    LoginRecord::loadIfCodeMatches(QString());
    return 0;
}
