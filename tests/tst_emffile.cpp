// The EMF structure check on whole, cut and damaged files, the EMF+ records in comments included.
#include "render/lxEmfFile.h"

#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <algorithm>

namespace {
QByteArray u32(quint32 v) {
    QByteArray b(4, '\0');
    qToLittleEndian<quint32>(v, b.data());
    return b;
}

QByteArray rec(quint32 type, const QList<quint32> &words = {}) {
    QByteArray r = u32(type) + u32(8 + 4 * quint32(words.size()));
    for (quint32 w : words)
        r += u32(w);
    return r;
}

// An EMF+ comment holding one EMF+ record of the given type.
QByteArray plus(quint16 type) {
    QByteArray body(12, '\0');
    qToLittleEndian<quint16>(type, body.data());
    qToLittleEndian<quint32>(12, body.data() + 4);
    return u32(70) + u32(28) + u32(16) + u32(0x2B464D45) + body;
}

// A small EMF as the office writes one: header, EMF+ frame, drawing records, end record.
QByteArray emf(const QList<QByteArray> &body, quint16 handles, QList<qint32> bounds = {0, 0, 959, 719},
               bool withPlus = true) {
    QByteArray h = u32(1) + u32(108);
    for (qint32 v : bounds)
        h += u32(quint32(v));
    h += u32(0) + u32(0) + u32(25400) + u32(19050);        // frame
    h += u32(0x464D4520) + u32(0x10000) + u32(0) + u32(0); // signature, version, bytes, records (set below)
    QByteArray hh(4, '\0');
    qToLittleEndian<quint16>(handles, hh.data());
    h += hh + u32(0) + u32(0) + u32(0) + u32(960) + u32(720) + u32(254) + u32(190) + u32(0) + u32(0) + u32(0) +
         u32(254000) + u32(190500);
    QByteArray all = h;
    int count = 1;
    if (withPlus) {
        all += plus(0x4001);
        ++count;
    }
    for (const QByteArray &r : body) {
        all += r;
        ++count;
    }
    if (withPlus) {
        all += plus(0x4002);
        ++count;
    }
    all += rec(14, {0, 16, 20});
    ++count;
    qToLittleEndian<quint32>(quint32(all.size()), all.data() + 48);
    qToLittleEndian<quint32>(quint32(count), all.data() + 52);
    return all;
}

struct Record {
    quint32 type, size;
    qsizetype offset;
};
QList<Record> records(const QByteArray &d) {
    QList<Record> out;
    for (qsizetype off = 0; off + 8 <= d.size();) {
        const quint32 size = qFromLittleEndian<quint32>(d.constData() + off + 4);
        out.append({qFromLittleEndian<quint32>(d.constData() + off), size, off});
        if (size < 8)
            break;
        off += size;
    }
    return out;
}
const QByteArray kSample = emf({rec(38, {1, 0, 1, 0, 0}), rec(37, {1}), rec(3, {0, 0, 10, 10, 0}), rec(40, {1})}, 2);
} // namespace

class TestEmfFile : public QObject {
    Q_OBJECT
private slots:
    void check_data();
    void check();
    void checkFile();
    void compressedFile_data();
    void compressedFile();
};

void TestEmfFile::check_data() {
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("reason"); // a word of the reason; empty when the file is whole

    auto patched = [](qsizetype at, quint32 value) {
        QByteArray d = kSample;
        qToLittleEndian<quint32>(value, d.data() + at);
        return d;
    };
    const QList<Record> r = records(kSample);
    QTest::newRow("whole") << kSample << QString();
    QTest::newRow("without EMF+") << emf({rec(3, {0, 0, 1, 1, 0})}, 1, {0, 0, 9, 9}, false) << QString();
    QTest::newRow("empty") << QByteArray() << "header";
    QTest::newRow("not an EMF") << QByteArray(200, 'x') << "header";
    QTest::newRow("no signature") << patched(40, 0x12345678) << "signature";
    QTest::newRow("header size past the end") << patched(4, 4096) << "header";
    QTest::newRow("header size odd") << patched(4, 109) << "header";
    QTest::newRow("byte count too small") << patched(48, quint32(kSample.size() - 4)) << "bytes";
    QTest::newRow("record size zero") << patched(r.at(2).offset + 4, 0) << "size";
    QTest::newRow("record size odd") << patched(r.at(2).offset + 4, 10) << "size";
    QTest::newRow("record past the end") << patched(r.at(3).offset + 4, 0x7ffffff0) << "past";

    // Cut anywhere: the byte count no longer fits; with the count made to fit, the records do not.
    for (qsizetype cut : {qsizetype(120), r.at(3).offset + 6, kSample.size() - 4}) {
        QByteArray d = kSample.left(cut);
        QTest::addRow("cut at %lld", qlonglong(cut)) << d << "bytes";
        qToLittleEndian<quint32>(quint32(d.size()), d.data() + 48);
        QTest::addRow("cut at %lld, count fixed", qlonglong(cut)) << d << "record";
    }
    QByteArray noEnd = kSample.left(kSample.size() - 20);
    qToLittleEndian<quint32>(quint32(noEnd.size()), noEnd.data() + 48);
    QTest::newRow("no end record") << noEnd << "end record";
    QByteArray trailing = kSample + rec(3, {0, 0, 1, 1, 0});
    qToLittleEndian<quint32>(quint32(trailing.size()), trailing.data() + 48);
    QTest::newRow("records after the end") << trailing << "followed";

    // The EMF+ records a comment carries chain to its end: the first comment holds the EMF+ header record.
    const qsizetype plusAt = r.at(1).offset;
    QTest::newRow("EMF+ record larger than its comment") << patched(plusAt + 20, 0x7ffffff0) << "EMF+ record 1";
    QTest::newRow("EMF+ record smaller than its header") << patched(plusAt + 20, 8) << "EMF+ record 1";
    QTest::newRow("EMF+ record data past the record") << patched(plusAt + 24, 4) << "EMF+ record 1";
    QTest::newRow("comment data past the comment") << patched(plusAt + 8, 400) << "comment";
}

void TestEmfFile::check() {
    QFETCH(QByteArray, data);
    QFETCH(QString, reason);
    const QString why = TlxEmfFile::Check(data);
    if (reason.isEmpty())
        QCOMPARE(why, QString());
    else
        QVERIFY2(why.contains(reason), qPrintable(why));
}

void TestEmfFile::checkFile() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.emf"));
    QVERIFY(TlxEmfFile::CheckFile(path).contains(QLatin1String("cannot be read")));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    QVERIFY(TlxEmfFile::CheckFile(path).contains(QLatin1String("empty")));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(kSample);
    f.close();
    QCOMPARE(TlxEmfFile::CheckFile(path), QString());
    QVERIFY(f.resize(kSample.size() - 8));
    QVERIFY(!TlxEmfFile::CheckFile(path).isEmpty());
}

void TestEmfFile::compressedFile_data() {
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("reason"); // a word of the reason; empty when the file is whole
    const QByteArray gz = TlxEmfFile::Gzip(kSample);
    QTest::newRow("whole") << gz << QString();
    QTest::newRow("cut") << gz.left(gz.size() - 6) << "compressed";
    QByteArray flipped = gz;
    flipped[gz.size() / 2] = char(flipped[gz.size() / 2] ^ 0x55);
    QTest::newRow("damaged") << flipped << "compressed";
    QTest::newRow("bytes after the stream") << gz + "xx"
                                            << "compressed";
    // Whole as gzip, but what it holds is no whole EMF.
    QTest::newRow("cut EMF inside") << TlxEmfFile::Gzip(kSample.left(kSample.size() - 8)) << "bytes";
}

void TestEmfFile::compressedFile() {
    QFETCH(QByteArray, data);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.emz"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(data) == data.size());
    f.close();
    const QString why = TlxEmfFile::CheckFile(path);
    if (reason.isEmpty()) {
        QCOMPARE(why, QString());
        QString error;
        QCOMPARE(TlxEmfFile::Gunzip(data, &error), kSample);
    } else {
        QVERIFY2(why.contains(reason), qPrintable(why));
    }
}

// EMF+ comments whose inner sizes are damaged (sizes near 4 GB once wrapped around in the arithmetic: whole
// gigabytes read, or a header record cut to nothing and written past): the picture still composes and stays
// sound, the damaged comment passed on as it is.
QTEST_GUILESS_MAIN(TestEmfFile)
#include "tst_emffile.moc"

// A slide is composed from every layer it needs or not at all: a layer the office left empty or cut short is
// refused with the reason, and no file comes of the layers that were whole.
// Part of a page picture drawn in its place: a whole EMF that composes with the office's layers, the bitmap cut
// to the area, its rows bottom up and blue first, stretched over the area in hundredths of a millimetre.
