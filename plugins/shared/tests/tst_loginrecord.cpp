#include "loginrecord.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

class TestLoginRecord : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir home;
    int profiles = 0;

    static QByteArray readRecord()
    {
        QFile f(LoginRecord::path());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static void writeRecord(const QByteArray &data)
    {
        QDir().mkpath(QFileInfo(LoginRecord::path()).path());
        QFile f(LoginRecord::path());
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(data);
    }

private slots:
    void init()
    {
        // A fresh profile several levels deep, none of it created yet.
        qputenv("XDG_DATA_HOME", home.filePath(QString("p%1/a/b").arg(++profiles)).toUtf8());
        QVERIFY(!QFile::exists(QFileInfo(LoginRecord::path()).path()));
    }

    void save_onFreshProfile_writesExactBytesOwnerOnly_secondShorterSaveReplacesAll()
    {
        LoginRecord::save("Mervo产品", "Acme Trading", "zhang.wei", "42", "tok-123456789", "8888");
        const QByteArray first = readRecord();
        QVERIFY(first.contains("\"token\": \"tok-123456789\""));
        QCOMPARE(QFile(LoginRecord::path()).permissions() & 0x0077, QFileDevice::Permissions());
        QVERIFY(QFile(LoginRecord::path()).permissions() & QFileDevice::ReadOwner);

        LoginRecord::save("P", "A", "u", "1", "t", "");
        const QByteArray expected =
            "{\n"
            "    \"companyName\": \"A\",\n"
            "    \"productId\": \"1\",\n"
            "    \"productName\": \"P\",\n"
            "    \"quickLoginCode\": \"d41d8cd98f00b204e9800998ecf8427e\",\n"
            "    \"token\": \"t\",\n"
            "    \"userName\": \"u\"\n"
            "}\n";
        QCOMPARE(readRecord(), expected);
    }

    void load_skipsNumberZero_otherTypesGiveEmptyText()
    {
        writeRecord("{\"productName\": \"P\", \"companyName\": 7, \"userName\": 0,"
                    " \"productId\": 0}");
        const LoginRecord::Loaded r = LoginRecord::load();
        QVERIFY(r.opened);
        QCOMPARE(r.values.value("productName"), QStringLiteral("P"));
        QVERIFY(r.values.contains("companyName"));
        QCOMPARE(r.values.value("companyName"), QString());
        QVERIFY(!r.values.contains("userName"));
        QVERIFY(!r.values.contains("productId"));
        QCOMPARE(LoginRecord::userAnswer(r),
                 QStringLiteral("{\n    \"companyName\": \"\"\n}\n"));
    }

    void load_missingFileInExistingFolder_createsEmptyRecord_missingFolderNotOpened()
    {
        QVERIFY(!LoginRecord::load().opened);
        QVERIFY(QDir().mkpath(QFileInfo(LoginRecord::path()).path()));
        const LoginRecord::Loaded r = LoginRecord::load();
        QVERIFY(r.opened);
        QCOMPARE(r.values.size(), 4);
        for (const QString &v : r.values)
            QVERIFY(v.isEmpty());
        QVERIFY(QFile::exists(LoginRecord::path()));
        QCOMPARE(LoginRecord::load().values.size(), 4);
    }

    void loadIfCodeMatches_comparesStoredDigestOnly()
    {
        QCOMPARE(LoginRecord::loadIfCodeMatches("1234"), QString());
        const QString digestOf1234 = LoginRecord::md5Hex("1234");
        // The digest of the code also appears inside the token: that is no match.
        LoginRecord::save("P", "A", "u", "1", "x" + digestOf1234 + "x", "5678");
        QCOMPARE(LoginRecord::loadIfCodeMatches("1234"), QString());
        const QString whole = LoginRecord::loadIfCodeMatches("5678");
        QCOMPARE(whole.toUtf8(), readRecord());

        LoginRecord::save("P", "A", "u", "1", "t", "");
        QCOMPARE(LoginRecord::loadIfCodeMatches("").toUtf8(), readRecord());
        QCOMPARE(LoginRecord::loadIfCodeMatches("0"), QString());

        writeRecord("not json " + digestOf1234.toUtf8());
        QCOMPARE(LoginRecord::loadIfCodeMatches("1234"), QString());
    }

    void erase_removesRecord_andIsHarmlessWithout()
    {
        LoginRecord::save("P", "A", "u", "1", "t", "c");
        LoginRecord::erase();
        QVERIFY(!QFile::exists(LoginRecord::path()));
        LoginRecord::erase();
    }

    void md5Hex_isLatin1LowerHex()
    {
        QCOMPARE(LoginRecord::md5Hex(""), QStringLiteral("d41d8cd98f00b204e9800998ecf8427e"));
        QCOMPARE(LoginRecord::md5Hex("abc"), QStringLiteral("900150983cd24fb0d6963f7d28e17f72"));
    }
};

QTEST_GUILESS_MAIN(TestLoginRecord)
#include "tst_loginrecord.moc"
