#pragma once

#include <QMap>
#include <QString>

// The last successful login, kept as indented JSON in login.secret under the
// per-user data folder. Stateless: every call opens the file anew.
namespace LoginRecord {

QString path();

void save(const QString &productName, const QString &companyName, const QString &userName,
          const QString &productId, const QString &token, const QString &quickLoginCode);

struct Loaded {
    bool opened = false;
    // Keys that were taken, with their text; a key stored as the number 0 is absent.
    QMap<QString, QString> values;
};

// Reads productName, companyName, userName and productId. Creates an empty file
// when the folder exists but the record does not (later loads read it as empty).
Loaded load();

// What pages may read of a loaded record: companyName, userName and productId
// (never the product name or the token), as indented JSON text.
QString userAnswer(const Loaded &record);

// The whole record text when its stored quick-login digest is the digest of code;
// otherwise empty.
QString loadIfCodeMatches(const QString &code);

void erase();

// Lower-case hex MD5 of the Latin-1 bytes of text.
QString md5Hex(const QString &text);

} // namespace LoginRecord
