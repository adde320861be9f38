#include "signaturecheck.h"

#include <QDebug>
#include <QFile>
#include <QRegularExpression>

#include <algorithm>

#include <sodium.h>

struct SignatureCheck::HashState
{
    crypto_generichash_blake2b_state state;
};

namespace {

const int KeyIdBytes = 8;

QByteArray decodeBase64(const QByteArray &text)
{
    const QByteArray::FromBase64Result result =
        QByteArray::fromBase64Encoding(text, QByteArray::AbortOnBase64DecodingErrors);
    return result ? result.decoded : QByteArray();
}

QString hexId(const QByteArray &id)
{
    // minisign shows key ids as a little-endian number.
    QByteArray reversed(id.size(), '\0');
    std::reverse_copy(id.begin(), id.end(), reversed.begin());
    return QString::fromLatin1(reversed.toHex().toUpper());
}

bool verify(const QByteArray &signature, const unsigned char *message, qint64 size,
            const QByteArray &publicKey)
{
    return crypto_sign_verify_detached(
               reinterpret_cast<const unsigned char *>(signature.constData()), message,
               static_cast<unsigned long long>(size),
               reinterpret_cast<const unsigned char *>(publicKey.constData())) == 0;
}

QStringList digitGroups(const QString &version)
{
    static const QRegularExpression dotted(QStringLiteral("^[0-9]+(\\.[0-9]+)*$"));
    return dotted.match(version).hasMatch() ? version.split(QLatin1Char('.')) : QStringList();
}

} // namespace

SignatureCheck::SignatureCheck(const QStringList &keyLines)
{
    if (sodium_init() < 0)
        qDebug() << "update keys: libsodium cannot start";
    for (const QString &line : keyLines) {
        const QByteArray raw = decodeBase64(line.trimmed().toLatin1());
        if (raw.size() != 2 + KeyIdBytes + crypto_sign_PUBLICKEYBYTES || !raw.startsWith("Ed")) {
            qDebug() << "update keys: not a minisign public key:" << line;
            continue;
        }
        keys.append(Key{raw.mid(2, KeyIdBytes), raw.mid(2 + KeyIdBytes)});
    }
}

SignatureCheck::~SignatureCheck() = default;

int SignatureCheck::compareVersions(const QString &a, const QString &b, bool *ok)
{
    QStringList left = digitGroups(a);
    QStringList right = digitGroups(b);
    *ok = !left.isEmpty() && !right.isEmpty();
    while (left.size() < right.size())
        left << QStringLiteral("0");
    while (right.size() < left.size())
        right << QStringLiteral("0");
    // Compared as digit strings without leading zeros, so no number is too long.
    const auto significant = [](const QString &digits) {
        int i = 0;
        while (i < digits.size() - 1 && digits[i] == QLatin1Char('0'))
            ++i;
        return digits.mid(i);
    };
    for (int i = 0; *ok && i < left.size(); ++i) {
        const QString l = significant(left[i]);
        const QString r = significant(right[i]);
        if (l.size() != r.size())
            return l.size() < r.size() ? -1 : 1;
        if (l != r)
            return l < r ? -1 : 1;
    }
    return 0;
}

SignatureCheck::TrustedComment SignatureCheck::parseTrustedComment(const QByteArray &comment)
{
    TrustedComment result;
    static const QRegularExpression binding(
        QStringLiteral("^file:(.+) version:(\\S+?)(?: size:([0-9]{1,18}))?$"));
    const QRegularExpressionMatch m = binding.match(QString::fromUtf8(comment));
    if (!m.hasMatch()) {
        result.problem = QStringLiteral("the trusted comment names no file and version: %1")
                             .arg(QString::fromUtf8(comment));
        return result;
    }
    result.file = m.captured(1);
    result.version = m.captured(2);
    if (m.lastCapturedIndex() == 3)
        result.size = m.captured(3).toLongLong();
    return result;
}

QString SignatureCheck::checkAnswer(const QString &signatureText, const QString &installerName,
                                    const QString &installedVersion)
{
    if (signatureText.trimmed().isEmpty())
        return QStringLiteral("the answer carries no signature");
    if (installedVersion.isEmpty())
        return QStringLiteral("no installed version to compare with");
    QList<QByteArray> lines = signatureText.toUtf8().split('\n');
    for (QByteArray &line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
    }
    while (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    const QByteArray trustedPrefix = "trusted comment: ";
    if (lines.size() != 4 || !lines[0].startsWith("untrusted comment:") ||
        !lines[2].startsWith(trustedPrefix))
        return QStringLiteral("the signature is no minisign signature");
    const QByteArray line = decodeBase64(lines[1]);
    const QByteArray global = decodeBase64(lines[3]);
    if (line.size() != 2 + KeyIdBytes + crypto_sign_BYTES || global.size() != crypto_sign_BYTES)
        return QStringLiteral("the signature is no minisign signature");
    if (!line.startsWith("ED") && !line.startsWith("Ed"))
        return QStringLiteral("unknown signature algorithm %1")
            .arg(QString::fromLatin1(line.left(2).toHex()));
    prehashed = line.startsWith("ED");
    const QByteArray id = line.mid(2, KeyIdBytes);
    signature = line.mid(2 + KeyIdBytes);

    const auto key =
        std::find_if(keys.cbegin(), keys.cend(), [&](const Key &k) { return k.id == id; });
    if (key == keys.cend())
        return QStringLiteral("signed by unknown key %1").arg(hexId(id));
    signer = *key;

    const QByteArray comment = lines[2].mid(trustedPrefix.size());
    const QByteArray signedComment = signature + comment;
    if (!verify(global, reinterpret_cast<const unsigned char *>(signedComment.constData()),
                signedComment.size(), signer.publicKey))
        return QStringLiteral("the trusted comment does not match its signature");

    const TrustedComment bound = parseTrustedComment(comment);
    if (!bound.problem.isEmpty())
        return bound.problem;
    if (bound.file != installerName)
        return QStringLiteral("signed for file %1, not %2").arg(bound.file, installerName);
    const QString &version = bound.version;
    if (digitGroups(version).isEmpty())
        return QStringLiteral("signed version %1 is no dotted number").arg(version);
    bool ok = false;
    const int order = compareVersions(version, installedVersion, &ok);
    if (!ok)
        return QStringLiteral("installed version %1 is no dotted number").arg(installedVersion);
    if (order <= 0)
        return QStringLiteral("version %1 is not newer than the installed %2")
            .arg(version, installedVersion);

    size = bound.size;
    startHash();
    return QString();
}

void SignatureCheck::startHash()
{
    hash = std::make_unique<HashState>();
    crypto_generichash_blake2b_init(&hash->state, nullptr, 0, crypto_generichash_blake2b_BYTES_MAX);
}

void SignatureCheck::addData(const char *data, qint64 size)
{
    if (prehashed && hash)
        crypto_generichash_blake2b_update(&hash->state,
                                          reinterpret_cast<const unsigned char *>(data),
                                          static_cast<unsigned long long>(size));
}

QString SignatureCheck::checkWholeFile(const QString &path)
{
    if (!hash)
        return QStringLiteral("the signature was not checked");
    QString problem;
    if (prehashed) {
        QFile file(path);
        QByteArray buffer(1 << 20, Qt::Uninitialized);
        qint64 n = -1;
        if (file.open(QIODevice::ReadOnly)) {
            while ((n = file.read(buffer.data(), buffer.size())) > 0)
                addData(buffer.constData(), n);
        }
        if (n < 0)
            problem = QStringLiteral("the file cannot be read back: ") + file.errorString();
    }
    if (problem.isEmpty())
        problem = checkFile(path);
    // A download may follow that is hashed from its first byte.
    startHash();
    return problem;
}

QString SignatureCheck::checkFile(const QString &path)
{
    if (!hash)
        return QStringLiteral("the signature was not checked");
    bool good = false;
    if (prehashed) {
        unsigned char digest[crypto_generichash_blake2b_BYTES_MAX];
        crypto_generichash_blake2b_final(&hash->state, digest, sizeof digest);
        good = verify(signature, digest, sizeof digest, signer.publicKey);
    } else {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return QStringLiteral("the file cannot be read back: ") + file.errorString();
        if (file.size() > LegacyLimit)
            return QStringLiteral("a legacy signature over more than 1 GiB (sign prehashed)");
        // Mapped, not read: the pages stay file cache rather than heap.
        const uchar *data = file.size() > 0 ? file.map(0, file.size()) : nullptr;
        if (file.size() > 0 && !data)
            return QStringLiteral("the file cannot be read back: ") + file.errorString();
        static const unsigned char nothing = 0;
        good = verify(signature, data ? data : &nothing, file.size(), signer.publicKey);
    }
    hash.reset();
    return good ? QString() : QStringLiteral("the signature does not match the downloaded file");
}
