// The installer's .minisig text from the update answer: read before the download, then
// checked against the bytes. The key is the one the seed signatures were made with, so
// mutations of a genuine signature reach the trusted comment and the file check. The
// trusted comment's own parser also reads the raw input, as an attacker cannot sign it.
#include "fuzzinput.h"
#include "signaturecheck.h"

#include <QFile>
#include <QTemporaryDir>

namespace {

const QByteArray InstallerBytes("installer bytes\n");

QString installerFile()
{
    static QTemporaryDir dir;
    static const QString path = [] {
        const QString file = dir.filePath(QStringLiteral("MervoSetup-1.0.0.7.run"));
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly) || out.write(InstallerBytes) != InstallerBytes.size())
            qFatal("fuzz: cannot write the installer file");
        return file;
    }();
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const FuzzInput input(data, size);
    const SignatureCheck::TrustedComment comment = SignatureCheck::parseTrustedComment(input.bytes);
    if (comment.problem.isEmpty())
        FUZZ_ASSERT(!comment.file.isEmpty() && !comment.version.isEmpty() && comment.size >= -1);

    SignatureCheck check({QStringLiteral("RWR6lxBUgG9iszhotaWTlP9CGFPxMB85nX6XuSDG9pPv8yiCXIR+vQo1")});
    const QString refused = check.checkAnswer(QString::fromUtf8(input.bytes),
                                              QStringLiteral("MervoSetup-1.0.0.7.run"),
                                              QStringLiteral("1.0.0.6"));
    if (!refused.isEmpty())
        return 0;
    // An accepted comment names the installer and was signed by the key.
    FUZZ_ASSERT(input.bytes.contains("MervoSetup-1.0.0.7.run"));
    FUZZ_ASSERT(check.signedSize() >= -1);
    if (check.hashesWhileDownloading())
        check.addData(InstallerBytes.constData(), InstallerBytes.size());
    check.checkFile(installerFile());
    return 0;
}
