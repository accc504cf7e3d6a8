#include "base/lxFileName.h"

#include "TestSupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

class TestFileName : public QObject {
    Q_OBJECT

private slots:
    void roundTrip_data();
    void roundTrip();
    void fileCalls();
    void fileUrl_data();
    void fileUrl();
};

void TestFileName::roundTrip_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("display");

    QTest::newRow("ascii") << QByteArray("talk.pptx") << "talk.pptx";
    QTest::newRow("utf-8") << QByteArray("Pr\xc3\xa4sentation.pptx") << QString::fromUtf8("Präsentation.pptx");
    QTest::newRow("four bytes") << QByteArray("\xf0\x9f\x98\x80.ppt") << QString::fromUtf8("😀.ppt");
    QTest::newRow("latin-1") << QByteArray("Pr\xe4sentation.pptx") << "Pr\\xE4sentation.pptx";
    QTest::newRow("lone continuation") << QByteArray("a\x80z") << "a\\x80z";
    QTest::newRow("overlong slash") << QByteArray("a\xc0\xafz") << "a\\xC0\\xAFz";
    QTest::newRow("encoded surrogate") << QByteArray("\xed\xa0\x80") << "\\xED\\xA0\\x80";
    QTest::newRow("cut at the end") << QByteArray("x\xe4\xb8") << "x\\xE4\\xB8";
    QTest::newRow("beyond unicode") << QByteArray("\xf5\x80\x80\x80") << "\\xF5\\x80\\x80\\x80";
    QTest::newRow("valid after invalid") << QByteArray("\xff\xc3\xa4") << QString::fromUtf8("\\xFFä");
    QTest::newRow("empty") << QByteArray() << "";
}

void TestFileName::roundTrip() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, display);
    const QString name = TlxFileName::Decode(bytes);
    QCOMPARE(TlxFileName::Encode(name), bytes);
    QCOMPARE(TlxFileName::Display(name), display);
    const bool valid = QString::fromUtf8(bytes).toUtf8() == bytes;
    QCOMPARE(TlxFileName::HasRawBytes(name), !valid);
    if (valid)
        QCOMPARE(name, QString::fromUtf8(bytes));
    // Matching sees one character for each, never half a surrogate pair.
    const QString matched = TlxFileName::ForMatching(name);
    QCOMPARE(matched.size(), name.size());
    QCOMPARE(matched.toUtf8().contains("\xef\xbf\xbd"), !valid || bytes.contains("\xef\xbf\xbd"));
    QVERIFY(!TlxFileName::HasRawBytes(matched));
}

// Every call reaches the file its bytes name, not a look-alike with U+FFFD in its place.
void TestFileName::fileCalls() {
    QTemporaryDir dir;
    const QString root = dir.path() + u'/';
    const QString folder = root + TlxFileName::Decode("Ordner \xc4/tief/");
    const QString file = folder + TlxFileName::Decode("Pr\xe4sentation.emf");
    const QString lookAlike = folder + QString::fromUtf8("Pr\xef\xbf\xbdsentation.emf");

    QVERIFY(TlxFileName::MakePath(folder));
    QVERIFY(TlxFileName::MakePath(folder)); // already there
    QVERIFY(TlxFileName::IsDir(folder));
    QFile out;
    QVERIFY(TlxFileName::Open(out, file, QIODevice::WriteOnly));
    QCOMPARE(out.write("slide"), qint64(5));
    out.close();
    struct stat st {};
    QCOMPARE(
        ::stat(QByteArray(QFile::encodeName(dir.path()) + "/Ordner \xc4/tief/Pr\xe4sentation.emf").constData(), &st),
        0);
    QVERIFY(TlxFileName::Exists(file) && TlxFileName::IsFile(file) && !TlxFileName::IsDir(file));
    QVERIFY(!TlxFileName::Exists(lookAlike));
    QCOMPARE(TlxFileName::Size(file), qint64(5));
    QCOMPARE(TlxFileName::Size(lookAlike), qint64(-1));
    QFile in;
    QVERIFY(TlxFileName::Open(in, file, QIODevice::ReadOnly));
    QCOMPARE(in.readAll(), QByteArray("slide"));
    in.close();
    QString error;
    QVERIFY(!TlxFileName::Open(in, lookAlike, QIODevice::ReadOnly, &error));
    QVERIFY(!error.isEmpty());

    // Without replace an existing file keeps its place; with it, it gives way.
    const QString other = folder + TlxFileName::Decode("\xff.emf");
    QFile second;
    QVERIFY(TlxFileName::Open(second, other, QIODevice::WriteOnly));
    second.close();
    QVERIFY(!TlxFileName::Rename(file, other, false));
    QCOMPARE(TlxFileName::Size(other), qint64(0));
    QVERIFY(TlxFileName::Rename(file, other, true));
    QCOMPARE(TlxFileName::Size(other), qint64(5));
    QVERIFY(!TlxFileName::Exists(file));
    QVERIFY(TlxFileName::Remove(other));
    QVERIFY(!TlxFileName::Exists(other));

    // A file where a folder should go.
    QVERIFY(TlxFileName::Open(second, root + "blocker", QIODevice::WriteOnly));
    second.close();
    QVERIFY(!TlxFileName::MakePath(root + "blocker/sub/"));
    QCOMPARE(TlxFileName::Absolute(QStringLiteral("/a/b")), QStringLiteral("/a/b"));
    QVERIFY(TlxFileName::Absolute(QStringLiteral("rel")).endsWith(QStringLiteral("/rel")));
    TestSupport::removeAll(dir.path());
}

void TestFileName::fileUrl_data() {
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QString>("url");
    QTest::newRow("plain") << QByteArray("/tmp/a-b_c.~1/talk.pptx") << "file:///tmp/a-b_c.~1/talk.pptx";
    QTest::newRow("latin-1") << QByteArray("/in/Pr\xe4s.ppt") << "file:///in/Pr%E4s.ppt";
    QTest::newRow("utf-8") << QByteArray("/in/\xc3\xa4.ppt") << "file:///in/%C3%A4.ppt";
    QTest::newRow("reserved") << QByteArray("/in/a b;c,d=e#f?g%h\"'.ppt")
                              << "file:///in/a%20b%3Bc%2Cd%3De%23f%3Fg%25h%22%27.ppt";
}

void TestFileName::fileUrl() {
    QFETCH(QByteArray, path);
    QFETCH(QString, url);
    QCOMPARE(TlxFileName::FileUrl(TlxFileName::Decode(path)), url);
}

QTEST_GUILESS_MAIN(TestFileName)
#include "tst_filename.moc"
