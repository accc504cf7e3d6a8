// Windows' EMF players under Wine, the fidelity judge that sees a slide as Word and PowerPoint do: an EMF made
// here by hand, filling the left half of its frame red and drawing a wide blue line across the right half with an
// extended pen, must come out so at the frame's aspect, with GDI's player and through GDI+ (Wine's own player
// draws an extended pen's lines as black hairlines); a file the player cannot read must stop none of the others
// and must not pass for drawn.
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

// 200 x 100 mm at 10 device units a millimetre; a red brush, no pen, a rectangle over the left half; then a
// geometric pen 100 units (10 pixels of 200) wide, blue, a line across the right half at half height.
QByteArray leftHalfRed() {
    QByteArray h = u32(1) + u32(108);
    h += u32(0) + u32(0) + u32(1999) + u32(999);           // bounds, device units
    h += u32(0) + u32(0) + u32(19999) + u32(9999);         // frame, hundredths of a millimetre, inclusive
    h += u32(0x464D4520) + u32(0x10000) + u32(0) + u32(0); // signature, version, bytes, records (set below)
    h += u32(3);                                           // handles (a short, then a reserved short)
    h += u32(0) + u32(0) + u32(0);                         // description, palette
    h += u32(2000) + u32(1000) + u32(200) + u32(100);      // device in units, in millimetres
    h += u32(0) + u32(0) + u32(0) + u32(200000) + u32(100000);
    QByteArray all = h;
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

bool red(QRgb c) {
    return qRed(c) > 220 && qGreen(c) < 40 && qBlue(c) < 40;
}
bool blue(QRgb c) {
    return qBlue(c) > 220 && qRed(c) < 40 && qGreen(c) < 40;
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

QTEST_GUILESS_MAIN(TestEmfPlay)
#include "tst_emfplay.moc"
