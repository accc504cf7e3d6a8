#include "base/lxError.h"
#include "base/lxFileUtils.h"

#include "TestSupport.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <utime.h>

class TestFileUtils : public QObject {
    Q_OBJECT

private slots:
    void writeTextBytes_data();
    void writeTextBytes();
    void writeTextAppendAndTruncate();
    void writeTextCreatesFolders();
    void writeTextUnwritable();
    void readTextRoundTrip();
    void readTextOddLengthAndLatin1();
    void readTextMissingFileThrows();
    void getFileDate_data();
    void getFileDate();
    void getFileDateMissingOrOutOfRange();

private:
    QTemporaryDir m_dir;
};

void TestFileUtils::writeTextBytes_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("bytesPerChar");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("utf16 ascii") << QStringLiteral("Ab") << 2 << QByteArray("A\0b\0", 4);
    QTest::newRow("utf16 beyond latin1") << QStringLiteral("\u20AC\U0001F600") << 2
                                         << QByteArray("\xAC\x20\x3D\xD8\x00\xDE", 6);
    QTest::newRow("utf16 empty") << QString() << 2 << QByteArray();
    QTest::newRow("latin1") << QStringLiteral("a\u00E9\u20AC") << 1 << QByteArray("a\xE9?");
}

void TestFileUtils::writeTextBytes() {
    QFETCH(QString, text);
    QFETCH(int, bytesPerChar);
    QFETCH(QByteArray, bytes);
    const QString path = m_dir.filePath(QStringLiteral("bytes.txt"));
    TlxFileUtils::WriteText(path, text, bytesPerChar, false);
    // No byte-order mark, no conversion beyond the stated width.
    QCOMPARE(TestSupport::readAll(path), bytes);
}

void TestFileUtils::writeTextAppendAndTruncate() {
    const QString path = m_dir.filePath(QStringLiteral("append.txt"));
    TlxFileUtils::WriteText(path, QStringLiteral("one"), 2, false);
    TlxFileUtils::WriteText(path, QStringLiteral("two"), 2, true);
    QCOMPARE(TlxFileUtils::ReadText(path, 2), QStringLiteral("onetwo"));
    // A shorter text without append leaves no tail of the old content behind.
    TlxFileUtils::WriteText(path, QStringLiteral("x"), 2, false);
    QCOMPARE(TlxFileUtils::ReadText(path, 2), QStringLiteral("x"));
    TlxFileUtils::WriteText(path, QString(), 2, false);
    QVERIFY(QFileInfo::exists(path));
    QCOMPARE(QFileInfo(path).size(), 0);
}

void TestFileUtils::writeTextCreatesFolders() {
    const QString path = m_dir.filePath(QStringLiteral("a/b/c/deep.txt"));
    TlxFileUtils::WriteText(path, QStringLiteral("deep"), 2, false);
    QCOMPARE(TlxFileUtils::ReadText(path, 2), QStringLiteral("deep"));
}

void TestFileUtils::writeTextUnwritable() {
    // A folder in the way of the file: the open fails and the caller hears of it.
    const QString path = m_dir.filePath(QStringLiteral("isdir"));
    QVERIFY(QDir().mkpath(path));
    QVERIFY_THROWS_EXCEPTION(ElxError, TlxFileUtils::WriteText(path, QStringLiteral("x"), 2, false));
}

void TestFileUtils::readTextRoundTrip() {
    const QString path = m_dir.filePath(QStringLiteral("round.txt"));
    QString text = QStringLiteral("A=1\r\nB=\u00E4\u4E2D");
    text += QChar(0xD800); // a lone surrogate survives: the bytes are not decoded
    TlxFileUtils::WriteText(path, text, 2, false);
    QCOMPARE(TlxFileUtils::ReadText(path, 2), text);
}

void TestFileUtils::readTextOddLengthAndLatin1() {
    const QString path = m_dir.filePath(QStringLiteral("odd.bin"));
    QVERIFY(TestSupport::writeAll(path, QByteArray("a\0b", 3)));
    QCOMPARE(TlxFileUtils::ReadText(path, 2), QStringLiteral("a"));
    QCOMPARE(TlxFileUtils::ReadText(path, 1), QString::fromLatin1("a\0b", 3));
    const QString empty = m_dir.filePath(QStringLiteral("empty.bin"));
    QVERIFY(TestSupport::writeAll(empty, QByteArray()));
    QCOMPARE(TlxFileUtils::ReadText(empty, 2), QString());
}

void TestFileUtils::readTextMissingFileThrows() {
    QVERIFY_THROWS_EXCEPTION(ElxError, TlxFileUtils::ReadText(m_dir.filePath(QStringLiteral("missing.txt")), 2));
}

void TestFileUtils::getFileDate_data() {
    QTest::addColumn<QDateTime>("utc");
    QTest::newRow("1980 start") << QDateTime(QDate(1980, 1, 1), QTime(0, 0, 0), QTimeZone::utc());
    QTest::newRow("odd seconds") << QDateTime(QDate(2018, 10, 22), QTime(18, 2, 59), QTimeZone::utc());
    QTest::newRow("2107 end") << QDateTime(QDate(2107, 12, 31), QTime(23, 59, 58), QTimeZone::utc());
}

void TestFileUtils::getFileDate() {
    QFETCH(QDateTime, utc);
    const QString path = m_dir.filePath(QStringLiteral("dated.txt"));
    QVERIFY(TestSupport::writeAll(path, "x"));
    struct utimbuf times {};
    times.actime = times.modtime = time_t(utc.toSecsSinceEpoch());
    QCOMPARE(utime(QFile::encodeName(path).constData(), &times), 0);

    const auto unpack = [](qint32 packed) {
        const quint32 v = quint32(packed);
        return QDateTime(QDate(int(v >> 25) + 1980, int((v >> 21) & 0xF), int((v >> 16) & 0x1F)),
                         QTime(int((v >> 11) & 0x1F), int((v >> 5) & 0x3F), int(v & 0x1F) * 2));
    };
    QCOMPARE(unpack(TlxFileUtils::GetFileDate(path, false, true)),
             QDateTime(utc.date(), QTime(utc.time().hour(), utc.time().minute(), utc.time().second() / 2 * 2)));
    const QDateTime local = utc.toLocalTime();
    if (local.date().year() >= 1980 && local.date().year() <= 2107) {
        QCOMPARE(unpack(TlxFileUtils::GetFileDate(path, false, false)).date(), local.date());
    }
    // The creation time (birth or status change) is the moment of this test, well inside the range.
    const qint32 created = TlxFileUtils::GetFileDate(path, true, true);
    QVERIFY(created != -1);
    QCOMPARE(unpack(created).date().year(), QDateTime::currentDateTimeUtc().date().year());
}

void TestFileUtils::getFileDateMissingOrOutOfRange() {
    QCOMPARE(TlxFileUtils::GetFileDate(m_dir.filePath(QStringLiteral("nope.txt"))), -1);
    QCOMPARE(TlxFileUtils::GetFileDate(QString()), -1);
    const QString path = m_dir.filePath(QStringLiteral("old.txt"));
    QVERIFY(TestSupport::writeAll(path, "x"));
    struct utimbuf times {};
    times.actime = times.modtime =
        time_t(QDateTime(QDate(1975, 6, 1), QTime(12, 0), QTimeZone::utc()).toSecsSinceEpoch());
    QCOMPARE(utime(QFile::encodeName(path).constData(), &times), 0);
    QCOMPARE(TlxFileUtils::GetFileDate(path, false, true), -1);
}

QTEST_GUILESS_MAIN(TestFileUtils)
#include "tst_fileutils.moc"
