// Windows' EMF players under Wine, the fidelity judge that sees a slide as Word and PowerPoint do: an EMF made
// here by hand, filling the left half of its frame red and drawing a wide blue line across the right half with an
// extended pen, must come out so at the frame's aspect, with GDI's player and through GDI+ (Wine's own player
// draws an extended pen's lines as black hairlines); a file the player cannot read must stop none of the others
// and must not pass for drawn. A picture in EMF+ records must be drawn through GDI+ whether its object comes in
// one record or in parts (Wine's GDI+ draws none made of parts).
#include "FidelityCheck.h"
#include "TestSupport.h"

#include <QImage>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

namespace {
QByteArray u32(quint32 v) {
    QByteArray b(4, '\0');
    qToLittleEndian<quint32>(v, b.data());
    return b;
}

QByteArray rec(quint32 type, const QList<quint32> &words) {
    QByteArray r = u32(type) + u32(8 + 4 * quint32(words.size()));
    for (quint32 w : words)
        r += u32(w);
    return r;
}

// The header of an EMF 200 x 100 mm at 10 device units a millimetre with the given object handles.
QByteArray header(quint32 handles) {
    QByteArray h = u32(1) + u32(108);
    h += u32(0) + u32(0) + u32(1999) + u32(999);           // bounds, device units
    h += u32(0) + u32(0) + u32(19999) + u32(9999);         // frame, hundredths of a millimetre, inclusive
    h += u32(0x464D4520) + u32(0x10000) + u32(0) + u32(0); // signature, version, bytes, records (set below)
    h += u32(handles);                                     // handles (a short, then a reserved short)
    h += u32(0) + u32(0) + u32(0);                         // description, palette
    h += u32(2000) + u32(1000) + u32(200) + u32(100);      // device in units, in millimetres
    h += u32(0) + u32(0) + u32(0) + u32(200000) + u32(100000);
    return h;
}

// A red brush, no pen, a rectangle over the left half; then a geometric pen 100 units (10 pixels of 200) wide,
// blue, a line across the right half at half height.
QByteArray leftHalfRed() {
    QByteArray all = header(3);
    all += rec(39, {1, 0, 0x000000FF, 0}); // EMR_CREATEBRUSHINDIRECT: solid, red (COLORREF is 0x00BBGGRR)
    all += rec(37, {1});                   // EMR_SELECTOBJECT the brush
    all += rec(37, {0x80000008});          // EMR_SELECTOBJECT the stock NULL_PEN: no outline
    all += rec(43, {0, 0, 1000, 1000});    // EMR_RECTANGLE, right and bottom edges outside
    // EMR_EXTCREATEPEN: no bitmap; geometric, solid, flat ends; 100 wide; a solid blue brush; no style entries.
    all += rec(95, {2, 0, 0, 0, 0, 0x00010200, 100, 0, 0x00FF0000, 0, 0});
    all += rec(37, {2});         // EMR_SELECTOBJECT the pen
    all += rec(27, {1100, 500}); // EMR_MOVETOEX
    all += rec(54, {1900, 500}); // EMR_LINETO
    all += rec(14, {0, 16, 20}); // EMR_EOF
    qToLittleEndian<quint32>(quint32(all.size()), all.data() + 48);
    qToLittleEndian<quint32>(10, all.data() + 52);
    return all;
}

// EMF+ records in one comment record.
QByteArray plus(quint16 type, quint16 flags, const QByteArray &data) {
    QByteArray r(12, '\0');
    qToLittleEndian<quint16>(type, r.data());
    qToLittleEndian<quint16>(flags, r.data() + 2);
    qToLittleEndian<quint32>(quint32(12 + data.size()), r.data() + 4);
    qToLittleEndian<quint32>(quint32(data.size()), r.data() + 8);
    return r + data;
}
QByteArray comment(const QByteArray &records) {
    return u32(70) + u32(quint32(16 + records.size())) + u32(quint32(4 + records.size())) + "EMF+" + records;
}
QByteArray f32(float v) {
    QByteArray b(4, '\0');
    qToLittleEndian<float>(v, b.data());
    return b;
}

// An EMF+ file whose one picture, 40 x 20 green pixels, covers most of the frame (with no page transform of its
// own, GDI+ places it a little short of the far corner); its object in one record or in parts
// of at most 1000 bytes, each opening with the whole object's size, as large pictures are written.
QByteArray greenPicture(bool inParts) {
    constexpr quint32 kVersion = 0xDBC01002;
    QByteArray image = u32(kVersion) + u32(1) + u32(40) + u32(20) + u32(160) + u32(0x0026200A) + u32(0);
    for (int i = 0; i < 40 * 20; ++i)
        image += u32(0xFF20C040); // ARGB
    QByteArray all = header(1);
    all += comment(plus(0x4001, 1, u32(kVersion) + u32(0) + u32(96) + u32(96))); // dual, reference at 96 dpi
    all += comment(plus(0x4008, 0x0801, u32(kVersion) + u32(0) + u32(4) + u32(0) + u32(0) + u32(0))); // attributes
    if (!inParts)
        all += comment(plus(0x4008, 0x0500, image)); // an image, object 0
    for (qsizetype at = 0; inParts && at < image.size(); at += 1000)
        all += comment(plus(0x4008, 0x8500, u32(quint32(image.size())) + image.mid(at, 1000)));
    // Draw image 0 with attributes 1, source in pixels, onto the frame's three corners in device units.
    all += comment(plus(0x401B, 0,
                        u32(1) + u32(2) + f32(0) + f32(0) + f32(40) + f32(20) + u32(3) + f32(0) + f32(0) + f32(2000) +
                            f32(0) + f32(0) + f32(1000)));
    all += comment(plus(0x4002, 0, QByteArray()));
    all += rec(14, {0, 16, 20});
    qToLittleEndian<quint32>(quint32(all.size()), all.data() + 48);
    qToLittleEndian<quint32>(quint32(all.count("EMF+") + 2), all.data() + 52);
    return all;
}

bool red(QRgb c) {
    return qRed(c) > 220 && qGreen(c) < 40 && qBlue(c) < 40;
}
bool blue(QRgb c) {
    return qBlue(c) > 220 && qRed(c) < 40 && qGreen(c) < 40;
}
bool green(QRgb c) {
    return qAbs(qRed(c) - 0x20) < 30 && qAbs(qGreen(c) - 0xC0) < 30 && qAbs(qBlue(c) - 0x40) < 30;
}
bool white(QRgb c) {
    return qRed(c) > 245 && qGreen(c) > 245 && qBlue(c) > 245;
}
} // namespace

class TestEmfPlay : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void leftHalf_data();
    void leftHalf();
    void picture_data();
    void picture();
};

void TestEmfPlay::initTestCase() {
    const QString missing = FidelityCheck::MissingGdi();
    if (!missing.isEmpty())
        QSKIP(qPrintable(missing));
}

void TestEmfPlay::leftHalf_data() {
    QTest::addColumn<bool>("gdiplus");
    QTest::newRow("GDI") << false;
    QTest::newRow("GDI+") << true;
}

void TestEmfPlay::leftHalf() {
    QFETCH(bool, gdiplus);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // A damaged file first, and a good one in a folder whose name Wine's locale may not spell.
    const QString bad = dir.filePath(QStringLiteral("cut.emf"));
    const QString good = dir.filePath(QStringLiteral("Grüße/left.emf"));
    QVERIFY(TestSupport::writeAll(bad, leftHalfRed().left(60)));
    QVERIFY(TestSupport::writeAll(good, leftHalfRed()));
    QString error;
    QVERIFY2(!FidelityCheck::RenderWithGdi({bad, good}, 200, gdiplus, &error), "a damaged file passed for drawn");
    QVERIFY2(error.contains(bad) && !error.contains(good), qPrintable(error));
    QVERIFY(!QFileInfo::exists(FidelityCheck::GdiPicture(bad, gdiplus)));

    const QImage picture(FidelityCheck::GdiPicture(good, gdiplus));
    QVERIFY2(!picture.isNull(), qPrintable(error));
    QCOMPARE(picture.size(), QSize(200, 100));
    for (int y : {5, 50, 94}) {
        // Red up to the middle, white after it, give or take the edge's pixel.
        int lastRed = -1;
        for (int x = 0; x < picture.width(); ++x)
            if (red(picture.pixel(x, y)))
                lastRed = x;
        QVERIFY2(lastRed >= 97 && lastRed <= 100,
                 qPrintable(QStringLiteral("row %1: red up to %2").arg(y).arg(lastRed)));
        QVERIFY(red(picture.pixel(3, y)));
        QVERIFY(red(picture.pixel(95, y)));
    }
    for (int y : {5, 94}) {
        QVERIFY(white(picture.pixel(103, y)));
        QVERIFY(white(picture.pixel(196, y)));
    }
    // The line at its width: 10 pixels about the middle row, from 110 to 190.
    for (int x : {115, 150, 185}) {
        for (int y : {47, 50, 53})
            QVERIFY2(blue(picture.pixel(x, y)),
                     qPrintable(QStringLiteral("(%1, %2) is %3").arg(x).arg(y).arg(picture.pixelColor(x, y).name())));
        QVERIFY(white(picture.pixel(x, 40)));
        QVERIFY(white(picture.pixel(x, 60)));
    }
    QVERIFY(white(picture.pixel(102, 50))); // GDI+ gets round ends: Wine takes its pen as a plain one
    QVERIFY(white(picture.pixel(198, 50)));
}

void TestEmfPlay::picture_data() {
    QTest::addColumn<bool>("inParts");
    QTest::newRow("object in one record") << false;
    QTest::newRow("object in parts") << true;
}

void TestEmfPlay::picture() {
    QFETCH(bool, inParts);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString emf = dir.filePath(QStringLiteral("picture.emf"));
    QVERIFY(TestSupport::writeAll(emf, greenPicture(inParts)));
    QString error;
    QVERIFY2(FidelityCheck::RenderWithGdi({emf}, 200, true, &error), qPrintable(error));
    const QImage picture(FidelityCheck::GdiPicture(emf, true));
    QCOMPARE(picture.size(), QSize(200, 100));
    for (const QPoint at : {QPoint(10, 10), QPoint(100, 50), QPoint(170, 80)})
        QVERIFY2(
            green(picture.pixel(at)),
            qPrintable(QStringLiteral("(%1, %2) is %3").arg(at.x()).arg(at.y()).arg(picture.pixelColor(at).name())));
}

QTEST_GUILESS_MAIN(TestEmfPlay)
#include "tst_emfplay.moc"
