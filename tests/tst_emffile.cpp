// The EMF structure check on whole, cut and damaged files, and the composition of page layers into one EMF.
#include "engine/lxEmfFile.h"
#include "engine/lxSlideLayers.h"

#include <QImage>
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
quint32 word(const QByteArray &d, qsizetype at) {
    return qFromLittleEndian<quint32>(d.constData() + at);
}

// A STRETCHDIBITS record as the office writes a bitmap: w x h pixels of bpp bits, every byte fill, drawn at
// (x, y) over cx x cy units with the raster operation rop.
QByteArray blit(quint32 rop, int w, int h, int bpp, char fill, qint32 x = 10, qint32 y = 20, qint32 cx = 300,
                qint32 cy = 200) {
    const int palette = bpp <= 8 ? (1 << bpp) * 4 : 0;
    const int stride = (w * bpp / 8 + 3) & ~3;
    QByteArray bmi = u32(40) + u32(quint32(w)) + u32(quint32(h)) + u32(1 | (quint32(bpp) << 16)) + u32(0) +
                     u32(quint32(stride * h)) + u32(0) + u32(0) + u32(0) + u32(0) + QByteArray(palette, '\0');
    const QByteArray bits(stride * h, fill);
    QByteArray r = u32(81) + u32(quint32(80 + bmi.size() + bits.size())) + u32(0) + u32(0) + u32(99) + u32(99);
    r += u32(quint32(x)) + u32(quint32(y)) + u32(0) + u32(0) + u32(quint32(w)) + u32(quint32(h));
    r += u32(80) + u32(quint32(bmi.size())) + u32(quint32(80 + bmi.size())) + u32(quint32(bits.size()));
    r += u32(0) + u32(rop) + u32(quint32(cx)) + u32(quint32(cy));
    return r + bmi + bits;
}
constexpr quint32 kPaint = 0x00EE0086, kAnd = 0x008800C6, kCopy = 0x00CC0020;

// A picture of w x h pixels: blue, green and red count up from the top left, alpha as given.
TlxEmfFile::Picture picture(int w, int h, uchar alpha, uchar start = 1) {
    TlxEmfFile::Picture p{w, h, QByteArray()};
    for (int i = 0; i < w * h; ++i) {
        const char pixel[4] = {char(start + i), char(start + 2 * i), char(start + 3 * i), char(alpha)};
        p.bgra.append(pixel, 4);
    }
    return p;
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
    void composeLayers();
    void composeRefusesBrokenParts();
    void composeKeepsDamagedPlusComments_data();
    void composeKeepsDamagedPlusComments();
    void pictureLayer();
    void slideLayersRefuseWhatIsNotWhole_data();
    void slideLayersRefuseWhatIsNotWhole();
    void maskedPictures_data();
    void maskedPictures();
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

void TestEmfFile::composeLayers() {
    // Background: one brush, handle 1, left selected (not deleted). Master: a pen at 1 and a font at 2, a stock
    // object, and a save left open. Slide: a brush at 1, with its own bounds.
    const QByteArray background = emf({rec(39, {1, 0, 0xff, 0}), rec(37, {1}), rec(3, {0, 0, 959, 719, 0})}, 2);
    const QByteArray master = emf({rec(33), rec(38, {1, 0, 1, 0, 0}), rec(82, {2, 0}), rec(37, {1}),
                                   rec(37, {0x80000005}), rec(37, {2}), rec(40, {1}), rec(71, {0, 0, 0, 0, 0, 2})},
                                  3, {10, 10, 500, 700});
    const QByteArray slide = emf({rec(39, {1, 0, 0, 0}), rec(37, {1}), rec(40, {1})}, 2, {-5, 0, 100, 800});
    QString error;
    const QByteArray out = TlxEmfFile::Compose({background, master, slide}, &error);
    QVERIFY2(!out.isEmpty(), qPrintable(error));
    QCOMPARE(TlxEmfFile::Check(out), QString());

    const QList<Record> r = records(out);
    QCOMPARE(word(out, 52), quint32(r.size())); // records, the header included
    QCOMPARE(qFromLittleEndian<quint16>(out.constData() + 56), quint16(1 + 1 + 2 + 1));
    QCOMPARE(word(out, 8), quint32(-5)); // bounds: the union of the layers'
    QCOMPARE(word(out, 16), 959u);
    QCOMPARE(word(out, 20), 800u);
    QCOMPARE(word(out, 32), 25400u); // the frame stays the page's

    // One EMF+ header right after the EMF header, one EMF+ end record just before the end.
    int plusHeaders = 0, plusEnds = 0;
    for (const Record &x : r)
        if (x.type == 70) {
            plusHeaders += qFromLittleEndian<quint16>(out.constData() + x.offset + 16) == 0x4001;
            plusEnds += qFromLittleEndian<quint16>(out.constData() + x.offset + 16) == 0x4002;
        }
    QCOMPARE(plusHeaders, 1);
    QCOMPARE(plusEnds, 1);
    QCOMPARE(qFromLittleEndian<quint16>(out.constData() + r.at(1).offset + 16), quint16(0x4001));
    QCOMPARE(qFromLittleEndian<quint16>(out.constData() + r.at(r.size() - 2).offset + 16), quint16(0x4002));

    // Handles: background 1; master 2 and 3; slide 4. Stock objects keep their index.
    QList<quint32> created, selected;
    int depth = 0, minDepth = 0;
    for (const Record &x : r) {
        const quint32 first = word(out, x.offset + 8);
        if (x.type == 38 || x.type == 39 || x.type == 82)
            created << first;
        if (x.type == 37)
            selected << first;
        if (x.type == 71)
            QCOMPARE(word(out, x.offset + 28), 3u);
        if (x.type == 33)
            ++depth;
        if (x.type == 34)
            depth += qint32(first);
        minDepth = std::min(minDepth, depth);
    }
    QCOMPARE(created, (QList<quint32>{1, 2, 3, 4}));
    QCOMPARE(selected, (QList<quint32>{1, 2, 0x80000005, 3, 4}));
    // Every layer's state is restored, also the master's unclosed save.
    QCOMPARE(depth, 0);
    QCOMPARE(minDepth, 0);
}

void TestEmfFile::composeRefusesBrokenParts() {
    QString error;
    QVERIFY(TlxEmfFile::Compose({kSample, kSample.left(kSample.size() - 4)}, &error).isEmpty());
    QVERIFY(error.contains(QLatin1String("part 2")));
    QVERIFY(TlxEmfFile::Compose({}, &error).isEmpty());
    QCOMPARE(TlxEmfFile::Compose({kSample}, &error), kSample);
}

// EMF+ comments whose inner sizes are damaged (sizes near 4 GB once wrapped around in the arithmetic: whole
// gigabytes read, or a header record cut to nothing and written past): the picture still composes and stays
// sound, the damaged comment passed on as it is.
void TestEmfFile::composeKeepsDamagedPlusComments_data() {
    QTest::addColumn<QByteArray>("comment");
    QTest::addColumn<bool>("first"); // the comment right after the header, where the EMF+ header stands
    // An EMF+ record that claims nearly 4 GB inside a comment of 28 bytes.
    QByteArray huge = u32(70) + u32(28) + u32(16) + u32(0x2B464D45) + u32(0x4008) + u32(0xFFFFFFF4) + u32(0);
    QTest::newRow("record size wraps") << huge << false;
    QByteArray header = plus(0x4001);
    qToLittleEndian<quint32>(0xFFFFFFF4u, header.data() + 20);
    QTest::newRow("header size wraps") << header << true;
}

void TestEmfFile::composeKeepsDamagedPlusComments() {
    QFETCH(QByteArray, comment);
    QFETCH(bool, first);
    const QByteArray damaged = emf({comment, rec(39, {1, 0, 0xff, 0}), rec(40, {1})}, 2, {0, 0, 959, 719}, !first);
    QCOMPARE(TlxEmfFile::Check(damaged), QString());
    QString error;
    const QByteArray out = TlxEmfFile::Compose({damaged, kSample}, &error);
    QCOMPARE(error, QString());
    QCOMPARE(TlxEmfFile::Check(out), QString());
    QVERIFY(out.contains(comment));
}

void TestEmfFile::maskedPictures_data() {
    QTest::addColumn<QList<QByteArray>>("body");
    QTest::addColumn<QList<TlxEmfFile::Picture>>("pictures");
    QTest::addColumn<int>("replaced");
    QTest::addColumn<quint32>("drawnWith"); // the record that now draws the picture (0: nothing replaced)
    QTest::addColumn<bool>("paired");       // only a mask right before a picture at its place is taken for one
    const QByteArray mask = blit(kPaint, 3, 2, 8, 0), white = blit(kAnd, 3, 2, 24, char(0xff));
    QTest::newRow("opaque picture") << QList<QByteArray>{mask, white} << QList{picture(3, 2, 255)} << 1 << 81u << true;
    QTest::newRow("transparent picture") << QList<QByteArray>{mask, white} << QList{picture(3, 2, 128)} << 1 << 114u
                                         << true;
    QTest::newRow("the same picture twice")
        << QList<QByteArray>{mask, white} << QList{picture(3, 2, 255), picture(3, 2, 255)} << 1 << 81u << true;
    QTest::newRow("two pictures of that size")
        << QList<QByteArray>{mask, white} << QList{picture(3, 2, 255), picture(3, 2, 255, 7)} << 0 << 0u << true;
    QTest::newRow("no picture of that size")
        << QList<QByteArray>{mask, white} << QList{picture(2, 3, 255)} << 0 << 0u << true;
    QTest::newRow("a record between") << QList<QByteArray>{mask, rec(3, {0, 0, 1, 1, 0}), white}
                                      << QList{picture(3, 2, 255)} << 0 << 0u << false;
    QTest::newRow("other place") << QList<QByteArray>{mask, blit(kAnd, 3, 2, 24, char(0xff), 11)}
                                 << QList{picture(3, 2, 255)} << 0 << 0u << false;
    QTest::newRow("plain bitmaps") << QList<QByteArray>{blit(kCopy, 3, 2, 24, 5), blit(kCopy, 3, 2, 24, 5)}
                                   << QList{picture(3, 2, 255)} << 0 << 0u << false;
    QTest::newRow("two pairs") << QList<QByteArray>{mask, white, rec(3, {0, 0, 1, 1, 0}), mask, white}
                               << QList{picture(3, 2, 255)} << 2 << 81u << true;
}

void TestEmfFile::maskedPictures() {
    QFETCH(QList<QByteArray>, body);
    QFETCH(QList<TlxEmfFile::Picture>, pictures);
    QFETCH(int, replaced);
    QFETCH(quint32, drawnWith);
    QFETCH(bool, paired);
    const QByteArray before = emf(body, 0);
    const QList<TlxEmfFile::MaskedPicture> pairs = TlxEmfFile::MaskedPictures(before);
    QCOMPARE(pairs.size(), paired ? qsizetype(body.count(blit(kPaint, 3, 2, 8, 0))) : 0);
    for (const auto &m : pairs) {
        QCOMPARE(m.size, QSize(3, 2));
        QCOMPARE(m.mask, pairs.first().mask); // the same mask tells the same picture
    }
    int count = -1;
    const QByteArray after = TlxEmfFile::ReplaceMaskedPictures(
        before, [&](const TlxEmfFile::MaskedPicture &m) { return TlxEmfFile::OnlyPictureOfSize(pictures, m.size); },
        &count);
    QCOMPARE(count, replaced);
    QVERIFY2(TlxEmfFile::Check(after).isEmpty(), qPrintable(TlxEmfFile::Check(after)));
    const QList<Record> recs = records(after);
    QCOMPARE(word(after, 52), quint32(recs.size()));
    if (!replaced) {
        QCOMPARE(after, before);
        return;
    }
    QCOMPARE(recs.size(), records(before).size() - replaced);
    QVERIFY(TlxEmfFile::MaskedPictures(after).isEmpty());
    const Record &r = recs.at(2); // after the header and the EMF+ header comment
    QCOMPARE(r.type, drawnWith);
    const QByteArray &p = pictures.first().bgra;
    if (drawnWith == 81) {
        // Drawn as before (place and size), copied, 24 bits bottom-up: the first bytes are the bottom row's.
        QCOMPARE(word(after, r.offset + 24), 10u);
        QCOMPARE(word(after, r.offset + 28), 20u);
        QCOMPARE(word(after, r.offset + 68), kCopy);
        QCOMPARE(word(after, r.offset + 72), 300u);
        QCOMPARE(word(after, r.offset + 76), 200u);
        const qsizetype bits = r.offset + word(after, r.offset + 56);
        QCOMPARE(after.mid(bits, 3), p.mid(3 * 4, 3));
        QCOMPARE(after.mid(bits + 3, 3), p.mid(4 * 4, 3));
    } else {
        // Alpha-blended from 32 bits premultiplied by alpha, at the same place.
        QCOMPARE(word(after, r.offset + 32), 300u);
        QCOMPARE(word(after, r.offset + 36), 200u);
        QCOMPARE(quint8(after.at(r.offset + 43)), quint8(1));
        const qsizetype bits = r.offset + word(after, r.offset + 92);
        QCOMPARE(quint8(after.at(bits)), quint8((quint8(p.at(12)) * 128 + 127) / 255));
        QCOMPARE(quint8(after.at(bits + 3)), quint8(128));
    }
}

QTEST_GUILESS_MAIN(TestEmfFile)
#include "tst_emffile.moc"

// A slide is composed from every layer it needs or not at all: a layer the office left empty or cut short is
// refused with the reason, and no file comes of the layers that were whole.
void TestEmfFile::slideLayersRefuseWhatIsNotWhole_data() {
    QTest::addColumn<int>("drawing");
    QTest::addColumn<QByteArray>("layer"); // the master's layer, between two whole ones
    QTest::addColumn<QString>("reason");   // a piece of the reason; empty when the slide composes
    const auto emfKind = int(TlxSlideLayers::Drawing::Emf), svgKind = int(TlxSlideLayers::Drawing::Svg);
    const QByteArray svg = "<svg xmlns=\"http://www.w3.org/2000/svg\"><rect width=\"5\" height=\"5\"/></svg>";
    QTest::newRow("emf whole") << emfKind << kSample << QString();
    QTest::newRow("emf empty") << emfKind << QByteArray() << "wrote nothing for the master";
    QTest::newRow("emf cut") << emfKind << kSample.left(kSample.size() / 2) << "master only in part";
    QTest::newRow("emf without its end") << emfKind << kSample.left(kSample.size() - 20) << "only in part";
    QTest::newRow("svg whole") << svgKind << svg << QString();
    QTest::newRow("svg empty") << svgKind << QByteArray() << "wrote nothing";
    QTest::newRow("svg cut") << svgKind << svg.left(svg.size() - 8) << "only in part";
}

void TestEmfFile::slideLayersRefuseWhatIsNotWhole() {
    QFETCH(int, drawing);
    QFETCH(QByteArray, layer);
    QFETCH(QString, reason);
    const auto kind = TlxSlideLayers::Drawing(drawing);
    const QByteArray whole =
        kind == TlxSlideLayers::Drawing::Emf ? kSample : QByteArray("<svg xmlns=\"http://www.w3.org/2000/svg\"/>");
    TlxSlideLayers layers(kind);
    QCOMPARE(layers.Add(whole, QStringLiteral("the background")), QString());
    const QString why = layers.Add(layer, QStringLiteral("the master"));
    QString error;
    if (!reason.isEmpty()) {
        QVERIFY2(why.contains(reason), qPrintable(why));
        QCOMPARE(layers.Count(), 1); // the refused layer is not kept to be composed without a word
        return;
    }
    QCOMPARE(why, QString());
    QCOMPARE(layers.Add(whole, QStringLiteral("the slide's own shapes")), QString());
    const QByteArray composed = layers.Compose(&error);
    QVERIFY2(!composed.isEmpty(), qPrintable(error));
    QCOMPARE(TlxSlideLayers::Check(kind, composed, QStringLiteral("the slide")), QString());
    QCOMPARE(layers.Count(), 3);
    QVERIFY(composed.size() > whole.size());
}

// Part of a page picture drawn in its place: a whole EMF that composes with the office's layers, the bitmap cut
// to the area, its rows bottom up and blue first, stretched over the area in hundredths of a millimetre.
void TestEmfFile::pictureLayer() {
    QImage page(254, 190, QImage::Format_RGB32); // a picture of a 25.4 by 19 cm page, a pixel a millimetre
    page.fill(QColor(0, 0, 255));
    for (int y = 50; y < 90; ++y)
        for (int x = 100; x < 150; ++x)
            page.setPixel(x, y, qRgb(255, 0, 0));
    page.setPixel(100, 89, qRgb(0, 255, 0)); // the area's bottom left corner
    const QByteArray layer = TlxEmfFile::PictureLayer(page, QRect(10000, 5000, 5000, 4000), QSize(25400, 19000));
    QCOMPARE(TlxEmfFile::Check(layer), QString());
    const QList<Record> r = records(layer);
    const auto blit = std::find_if(r.begin(), r.end(), [](const Record &x) { return x.type == 81; });
    QVERIFY(blit != r.end());
    const qsizetype at = blit->offset;
    QCOMPARE(qint32(word(layer, at + 24)), 10000); // destination x, y
    QCOMPARE(qint32(word(layer, at + 28)), 5000);
    QCOMPARE(word(layer, at + 40), 50u); // source pixels
    QCOMPARE(word(layer, at + 44), 40u);
    QCOMPARE(qint32(word(layer, at + 72)), 5000); // destination width and height
    QCOMPARE(qint32(word(layer, at + 76)), 4000);
    const qsizetype bits = at + qsizetype(word(layer, at + 56));
    // First row in the file is the area's bottom row: green at its left, then red; blue first in each pixel.
    QCOMPARE(QByteArray(layer.constData() + bits, 6), QByteArray("\x00\xff\x00\x00\x00\xff", 6));
    QVERIFY(TlxEmfFile::PictureLayer(page, QRect(30000, 0, 100, 100), QSize(25400, 19000)).isEmpty());
    QString error;
    QVERIFY(!TlxEmfFile::Compose({kSample, layer}, &error).isEmpty());
}
