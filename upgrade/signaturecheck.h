#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>

// Checks an installer against the publisher's minisign signature (the .minisig text):
// the trusted comment must carry a valid global signature and name the installer and
// a newer version, and the signature must match the downloaded bytes. Prehashed ("ED")
// signatures are hashed while the bytes arrive; legacy ("Ed") ones read the file back.
class SignatureCheck final
{
public:
    // keyLines: the base64 lines of minisign public key files.
    explicit SignatureCheck(const QStringList &keyLines);
    ~SignatureCheck();

    // What a trusted comment "file:<name> version:<v>[ size:<bytes>]" binds; problem is
    // empty when it has that form (size -1 when it binds none).
    struct TrustedComment
    {
        QString file;
        QString version;
        qint64 size = -1;
        QString problem;
    };
    static TrustedComment parseTrustedComment(const QByteArray &comment);

    // Reads the signature before anything is downloaded. Returns the reason to refuse,
    // empty when the trusted comment is genuine, names installerName and a version newer
    // than installedVersion (refused when that is empty).
    QString checkAnswer(const QString &signatureText, const QString &installerName,
                        const QString &installedVersion);
    // The installer's size in bytes as the accepted signature binds it, else -1.
    qint64 signedSize() const { return size; }

    // Whether the signature is checked over the bytes as they arrive (prehashed); a
    // legacy one reads the file back once the download is complete.
    bool hashesWhileDownloading() const { return prehashed; }
    // The downloaded bytes, in order.
    void addData(const char *data, qint64 size);

    // After the download: whether the signature covers the file at path (reason or empty).
    QString checkFile(const QString &path);
    // The same for a file that was not fed through addData (an installer kept earlier).
    QString checkWholeFile(const QString &path);

    int keyCount() const { return keys.size(); }

    // Dotted numbers compared component by component ("1.10" > "1.9", "1.0" == "1"):
    // -1, 0 or 1; ok is false when either text is no dotted number.
    static int compareVersions(const QString &a, const QString &b, bool *ok);

    // A legacy signature covers the whole file, which must then be read at once.
    static constexpr qint64 LegacyLimit = qint64(1) << 30;

private:
    struct Key
    {
        QByteArray id;
        QByteArray publicKey;
    };
    struct HashState;

    void startHash();

    QVector<Key> keys;
    Key signer;
    bool prehashed = false;
    QByteArray signature;
    qint64 size = -1;
    std::unique_ptr<HashState> hash;
};
