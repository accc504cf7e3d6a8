// PDF pages drawn as EMF records: a page made with Qt's PDF writer (fills, a clip, text in a metric twin of a
// Windows font, a picture with an alpha channel, a translucent fill, a soft mask) comes out as the records that
// say each of them, every file passing the EMF check; broken PDFs and a spent time limit give reasons, not files.
#include "UemfReader.h"
#include "render/PdfFontNames.h"
#include "render/PdfPages.h"
#include "render/lxEmfFile.h"

#include <QBuffer>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QTest>
#include <QtEndian>

#include <cairo-pdf.h>
#include <cairo.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {
constexpr double kUnits = 2540.0 / 72; // hundredths of a millimetre a point

struct Record {
    quint32 type;
    QByteArray data; // the whole record
    quint32 u32(int at) const { return qFromLittleEndian<quint32>(data.constData() + at); }
    qint32 i32(int at) const { return qFromLittleEndian<qint32>(data.constData() + at); }
};

QList<Record> recordsOf(const QByteArray &emf) {
    QList<Record> out;
    for (qsizetype off = 0; off + 8 <= emf.size();) {
        const quint32 size = qFromLittleEndian<quint32>(emf.constData() + off + 4);
        if (size < 8)
            break;
        out.append({qFromLittleEndian<quint32>(emf.constData() + off), emf.mid(off, size)});
        off += size;
    }
    return out;
}

QList<Record> ofType(const QList<Record> &all, quint32 type) {
    QList<Record> out;
    for (const Record &r : all)
        if (r.type == type)
            out << r;
    return out;
}

QString utf16At(const Record &r, int at, int units) {
    QString s;
    for (int i = 0; i < units; ++i) {
        const char16_t c = qFromLittleEndian<quint16>(r.data.constData() + at + 2 * i);
        if (!c)
            break;
        s += QChar(c);
    }
    return s;
}

// One page, 720 x 540 points, drawn by draw with a painter in points.
QByteArray pagePdf(const std::function<void(QPainter &)> &draw, int pages = 1) {
    QByteArray pdf;
    QBuffer buffer(&pdf);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setPageSize(QPageSize(QSizeF(720, 540), QPageSize::Point));
    writer.setPageMargins(QMarginsF());
    writer.setResolution(72);
    QPainter painter(&writer);
    for (int k = 0; k < pages; ++k) {
        if (k > 0)
            writer.newPage();
        draw(painter);
    }
    painter.end();
    return pdf;
}

cairo_status_t appendTo(void *closure, const unsigned char *data, unsigned int length) {
    static_cast<QByteArray *>(closure)->append(reinterpret_cast<const char *>(data), qsizetype(length));
    return CAIRO_STATUS_SUCCESS;
}

// The same page made by cairo, which writes transparency gradients as the office does: a soft mask of luminosity.
QByteArray cairoPdf(const std::function<void(cairo_t *)> &draw) {
    QByteArray pdf;
    cairo_surface_t *surface = cairo_pdf_surface_create_for_stream(appendTo, &pdf, 720, 540);
    cairo_t *cr = cairo_create(surface);
    draw(cr);
    cairo_destroy(cr);
    cairo_surface_finish(surface);
    cairo_surface_destroy(surface);
    return pdf;
}

QByteArray emfOf(const QByteArray &pdf, int page = 0, int pictureResolution = 0, bool plus = false) {
    const PdfPages pages(pdf);
    QString error;
    const QByteArray emf = pages.Emf(page, pictureResolution, 150, &error, plus);
    if (!error.isEmpty())
        qWarning("%s", qPrintable(error));
    return emf;
}

QImage logo() {
    // Opaque red on the left half, fully transparent on the right.
    QImage image(40, 20, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
            image.setPixel(x, y, qRgba(255, 0, 0, 255));
    return image;
}
} // namespace

class TestPdfEmf : public QObject {
    Q_OBJECT
private slots:
    void fillsAndClips() {
        const QByteArray emf = emfOf(pagePdf([](QPainter &p) {
            p.fillRect(QRectF(10, 20, 100, 50), QColor(0, 128, 255));
            QPainterPath circle;
            circle.addEllipse(QRectF(200, 200, 100, 100));
            p.setClipPath(circle);
            p.fillRect(QRectF(150, 150, 300, 300), QColor(255, 0, 0));
        }));
        QCOMPARE(emfProblems(emf), QString());
        const QList<Record> r = recordsOf(emf);
        // The page's frame in hundredths of a millimetre.
        QCOMPARE(r.first().i32(32), qint32(std::lround(720 * kUnits)) - 1);
        QCOMPARE(r.first().i32(36), qint32(std::lround(540 * kUnits)) - 1);
        QList<quint32> brushes;
        for (const Record &b : ofType(r, 39))
            brushes << b.u32(16);
        QVERIFY(brushes.contains(0xff8000u)); // COLORREF: blue, green, red from the top byte down
        QVERIFY(brushes.contains(0x0000ffu));
        QVERIFY(ofType(r, 62).size() >= 2); // FILLPATH
        QVERIFY(!ofType(r, 67).isEmpty());  // SELECTCLIPPATH: the circle
        QVERIFY(!ofType(r, 5).isEmpty());   // POLYBEZIERTO: the circle stays curves
        // The first fill's path starts at the box's corner.
        const Record move = ofType(r, 27).first();
        QVERIFY(qAbs(move.i32(8) - 10 * kUnits) < 2 && qAbs(move.i32(12) - 20 * kUnits) < 2);
    }

    // Dashes are segments of their own, stroked with a solid pen: not every reader honours a styled pen.
    void dashesAreSegments() {
        const QByteArray emf = emfOf(pagePdf([](QPainter &p) {
            QPen pen(QColor(255, 255, 0), 4);
            pen.setDashPattern({4, 2}); // in line widths: 16 points on, 8 off
            pen.setCapStyle(Qt::FlatCap);
            p.setPen(pen);
            p.drawLine(QPointF(0, 100), QPointF(480, 100));
        }));
        QCOMPARE(emfProblems(emf), QString());
        const QList<Record> r = recordsOf(emf);
        for (const Record &pen : ofType(r, 95))
            QCOMPARE(pen.u32(28) & 0xf, 0u); // solid
        QCOMPARE(ofType(r, 64).size(), 1);   // one stroke
        QCOMPARE(ofType(r, 27).size(), 20);  // of 480 / 24 dashes
    }

    void textStaysTextUnderTheFontItStandsFor() {
        if (!QFontDatabase::families().contains(QStringLiteral("Carlito")))
            QSKIP("Carlito is not installed");
        QFont font(QStringLiteral("Carlito"));
        font.setPixelSize(24);
        const QString text = QStringLiteral("Hello world");
        const QByteArray emf = emfOf(pagePdf([&](QPainter &p) {
            p.setFont(font);
            p.setPen(QColor(0, 100, 0));
            p.drawText(QPointF(50, 100), text);
        }));
        QCOMPARE(emfProblems(emf), QString());
        const QList<Record> r = recordsOf(emf);
        const QList<Record> fonts = ofType(r, 82);
        QVERIFY(!fonts.isEmpty());
        QCOMPARE(utf16At(fonts.first(), 12 + 28, 32), QStringLiteral("Calibri"));
        QVERIFY(qAbs(-fonts.first().i32(12) - 24 * kUnits) < 2); // the em
        QCOMPARE(ofType(r, 24).first().u32(8), 0x006400u);       // text colour
        QString drawn;
        double advance = 0;
        for (const Record &t : ofType(r, 84)) {
            const int n = t.i32(44);
            drawn += utf16At(t, t.i32(48), n);
            for (int i = 0; i < n; ++i)
                advance += t.i32(t.i32(72) + 4 * i);
            if (drawn.size() == n) // the first run starts on the baseline where the text does
                QVERIFY(qAbs(t.i32(36) - 50 * kUnits) < 2 && qAbs(t.i32(40) - 100 * kUnits) < 2);
        }
        QCOMPARE(drawn, text);
        // The advances are the glyphs' own: the run is as long as the font lays it out.
        const double width = QFontMetricsF(font).horizontalAdvance(text) * kUnits;
        QVERIFY2(qAbs(advance - width) < 0.03 * width, qPrintable(QStringLiteral("%1 vs %2").arg(advance).arg(width)));
    }

    // The font a slide asks for, from the name the PDF gives the font the office drew with.
    void fontNames_data() {
        QTest::addColumn<QString>("pdfName");
        QTest::addColumn<QString>("needs"); // an installed family the row needs, or empty
        QTest::addColumn<QString>("family");
        QTest::addColumn<bool>("bold");
        QTest::addColumn<bool>("italic");
        QTest::newRow("metric twin, subset, style") << "ABCDEF+Carlito-BoldItalic"
                                                    << "Carlito"
                                                    << "Calibri" << true << true;
        QTest::newRow("twin without style") << "LiberationSans"
                                            << "Liberation Sans"
                                            << "Arial" << false << false;
        QTest::newRow("serif twin") << "BCDEFG+LiberationSerif-Italic"
                                    << "Liberation Serif"
                                    << "Times New Roman" << false << true;
        QTest::newRow("stand-in for a font nobody has") << "EFGHIJ+NotoSansDisplay-Bold"
                                                        << "Noto Sans Display"
                                                        << "Segoe UI" << true << false;
        QTest::newRow("CJK, encoding in the name") << "CDEFGH+NotoSansCJKjp-Regular-Identity-H"
                                                   << "Noto Sans CJK JP"
                                                   << "Noto Sans CJK JP" << false << false;
        QTest::newRow("not installed") << "DEFGHI+FooBarSans-Black"
                                       << ""
                                       << "Foo Bar Sans" << true << false;
    }
    void fontNames() {
        QFETCH(QString, pdfName);
        QFETCH(QString, needs);
        QFETCH(QString, family);
        QFETCH(bool, bold);
        QFETCH(bool, italic);
        if (!needs.isEmpty() && !QFontDatabase::families().contains(needs))
            QSKIP(qPrintable(needs + QStringLiteral(" is not installed")));
        const PdfFontNames::Face face = PdfFontNames::For(pdfName, false, false);
        QCOMPARE(face.family, family);
        QCOMPARE(face.bold, bold);
        QCOMPARE(face.italic, italic);
    }

    void picturesAndTransparency() {
        const QByteArray emf = emfOf(pagePdf([](QPainter &p) {
            p.fillRect(QRectF(0, 0, 720, 540), Qt::black);
            p.drawImage(QRectF(100, 100, 200, 100), logo());
            p.setOpacity(0.5);
            p.fillRect(QRectF(400, 100, 100, 100), Qt::white);
        }));
        QCOMPARE(emfProblems(emf), QString());
        const QList<Record> blends = ofType(recordsOf(emf), 114);
        bool picture = false, translucent = false;
        for (const Record &b : blends) {
            const quint32 function = b.u32(40);
            const int w = b.i32(100), h = b.i32(104);
            if (w == 40 && h == 20) {
                // Per-pixel alpha, placed where the PDF places the picture.
                picture = (function >> 24) == 1 && qAbs(b.i32(24) - 100 * kUnits) < 2 &&
                          qAbs(b.i32(32) - 200 * kUnits) < 2 && qAbs(b.i32(36) - 100 * kUnits) < 2;
                const qsizetype bits = b.u32(92);
                const uchar *left = reinterpret_cast<const uchar *>(b.data.constData() + bits);
                const uchar *right = left + 4 * 39;
                QVERIFY(left[3] == 255 && left[2] > 200 && left[1] < 50 && right[3] == 0);
            } else if (w == 1 && h == 1) {
                translucent = ((function >> 16) & 0xff) == 128;
            }
        }
        QVERIFY(picture);
        QVERIFY(translucent);
    }

    // A soft mask (a gradient of transparency) is what the records cannot say: a picture of just that part.
    void softMaskBecomesAPictureOfItsArea() {
        const QByteArray emf = emfOf(cairoPdf([](cairo_t *cr) {
            cairo_set_source_rgb(cr, 1, 1, 1);
            cairo_paint(cr);
            cairo_pattern_t *fade = cairo_pattern_create_linear(100, 0, 300, 0);
            cairo_pattern_add_color_stop_rgba(fade, 0, 0, 0, 0, 1);
            cairo_pattern_add_color_stop_rgba(fade, 1, 0, 0, 0, 0);
            cairo_rectangle(cr, 100, 100, 200, 100);
            cairo_clip(cr);
            cairo_set_source_rgb(cr, 0, 0, 1);
            cairo_mask(cr, fade);
            cairo_pattern_destroy(fade);
            cairo_reset_clip(cr);
            cairo_set_source_rgb(cr, 0, 0, 0);
            cairo_move_to(cr, 100, 300);
            cairo_show_text(cr, "below");
        }));
        QCOMPARE(emfProblems(emf), QString());
        const QList<Record> r = recordsOf(emf);
        bool island = false;
        for (const Record &b : ofType(r, 114)) {
            const double x = b.i32(24) / kUnits, w = b.i32(32) / kUnits;
            island = island || (b.i32(100) > 100 && qAbs(x - 100) < 3 && qAbs(w - 200) < 4);
        }
        QVERIFY2(island, "no picture of the faded box");
        QCOMPARE(TlxEmfFile::PictureParts(emf), 1); // as the run reports it
        QCOMPARE(TlxEmfFile::PictureParts(TlxEmfFile::Gzip(emf)), 1);
        QVERIFY(!ofType(r, 84).isEmpty()); // the text after it stays text
    }

    void picturesAtMostAsFineAsTheLimit() {
        QImage fine(2000, 1000, QImage::Format_RGB32);
        fine.fill(Qt::darkCyan);
        const QByteArray pdf = pagePdf([&](QPainter &p) { p.drawImage(QRectF(0, 0, 720, 360), fine); });
        for (int limit : {0, 96}) {
            const QList<Record> dibs = ofType(recordsOf(emfOf(pdf, 0, limit)), 81);
            QCOMPARE(dibs.size(), 1);
            QCOMPARE(dibs.first().i32(40), limit ? 960 : 2000); // 10 inches at 96 pixels an inch
        }
    }

    // EMF+ readers get the picture compressed at every pixel; GDI-only readers a bitmap at the reference device's
    // resolution, which EMF+ readers pass over; everything else stays plain records they hand to GDI.
    void plusHoldsPicturesCompressed() {
        QImage fine(1200, 600, QImage::Format_RGB32);
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 1200; ++x)
                fine.setPixel(x, y, qRgb(x % 256, y % 256, (x + y) % 256));
        const QByteArray emf = emfOf(pagePdf([&](QPainter &p) {
                                         p.fillRect(QRectF(0, 0, 720, 540), Qt::gray);
                                         p.drawImage(QRectF(0, 0, 360, 180), fine);
                                     }),
                                     0, 0, true);
        QCOMPARE(emfProblems(emf), QString());
        const QList<Record> r = recordsOf(emf);
        // The EMF+ header first, its end last but one.
        QCOMPARE(r.at(1).type, 70u);
        QCOMPARE(r.at(1).u32(12), 0x2B464D45u);
        QCOMPARE(quint16(r.at(1).u32(16)), quint16(0x4001));
        QCOMPARE(quint16(r.at(r.size() - 2).u32(16)), quint16(0x4002));
        QByteArray image;
        bool getDcBeforeFill = false, sawGetDc = false;
        int picturePlace = -1;
        for (int i = 0; i < r.size(); ++i) {
            const Record &c = r.at(i);
            if (c.type == 70 && c.u32(12) == 0x2B464D45u) {
                const quint16 type = quint16(c.u32(16)), flags = quint16(c.u32(16) >> 16);
                sawGetDc = type == 0x4004 ||
                           (sawGetDc && type != 0x4008 && type != 0x401B && type != 0x4031 && type != 0x4033);
                if (type == 0x4008 && ((flags >> 8) & 0x7f) == 5) // the picture, whole or in parts
                    image += c.data.mid((flags & 0x8000) ? 32 : 28);
                if (type == 0x401B)
                    picturePlace = i;
            }
            if (c.type == 62 && picturePlace < 0)
                getDcBeforeFill = sawGetDc;
        }
        QVERIFY(getDcBeforeFill);
        // Compressed, and every pixel of it.
        const QImage decoded = QImage::fromData(image.mid(28)); // after the object's version, kind and bitmap header
        QCOMPARE(decoded.size(), QSize(1200, 600));
        // Right after it, the bitmap only GDI readers draw: 5 inches at 96 pixels an inch.
        QVERIFY(picturePlace > 0 && picturePlace + 1 < r.size());
        QCOMPARE(r.at(picturePlace + 1).type, 81u);
        QCOMPARE(r.at(picturePlace + 1).i32(40), 480);
        QVERIFY(emf.size() < 1200 * 600 * 3 / 2);
        // The second reader reads into the picture's object: a picture that is neither PNG nor JPEG is seen,
        // where the record check alone passes it.
        QByteArray broken = emf;
        const qsizetype png = broken.indexOf("\x89PNG"), jpeg = broken.indexOf("\xff\xd8\xff");
        QVERIFY(png > 0 || jpeg > 0);
        broken[(png > 0 ? png : jpeg) + 1] = 'X';
        QCOMPARE(TlxEmfFile::Check(broken), QString());
        QVERIFY(uemfProblems(broken).contains(QLatin1String("object")));
    }

    // Text at half opacity: EMF+ readers get it with its alpha, GDI readers its colour blended with the fill under
    // it (white on green drawn white was the fault). Over a picture no one colour lies under it: drawn as the PDF
    // has it.
    void translucentText() {
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(30);
        const QByteArray emf = emfOf(pagePdf([&](QPainter &p) {
                                         p.fillRect(QRectF(20, 20, 400, 100), QColor(0, 160, 80));
                                         p.drawImage(QRectF(20, 300, 400, 100), logo());
                                         p.setFont(font);
                                         p.setPen(Qt::white);
                                         p.setOpacity(0.5);
                                         p.drawText(QPointF(40, 80), QStringLiteral("Over green"));
                                         p.drawText(QPointF(40, 360), QStringLiteral("Over photo"));
                                     }),
                                     0, 0, true);
        QCOMPARE(emfProblems(emf), QString());
        QString plain, plus;
        QRgb gdiColour = 0, argb = 0;
        for (const Record &c : recordsOf(emf)) {
            if (c.type == 24)
                gdiColour = qRgb(c.u32(8) & 0xff, c.u32(8) >> 8 & 0xff, c.u32(8) >> 16 & 0xff);
            if (c.type == 84)
                plain += utf16At(c, c.i32(48), c.i32(44));
            if (c.type == 84 && plain.startsWith(QLatin1String("Over")))
                break;
        }
        for (const Record &c : recordsOf(emf)) {
            if (c.type == 70 && c.u32(12) == 0x2B464D45u && quint16(c.u32(16)) == 0x4036) {
                argb = c.u32(28);
                plus += utf16At(c, 44, c.i32(40));
            }
        }
        QCOMPARE(plain, QStringLiteral("Over green"));
        const auto near = [](QRgb a, QRgb b) {
            return qAbs(qRed(a) - qRed(b)) <= 2 && qAbs(qGreen(a) - qGreen(b)) <= 2 && qAbs(qBlue(a) - qBlue(b)) <= 2;
        };
        QVERIFY2(near(gdiColour, qRgb(128, 208, 168)), qPrintable(QString::number(gdiColour, 16)));
        QCOMPARE(plus, QStringLiteral("Over green"));
        QVERIFY2(qAbs(int(qAlpha(argb)) - 128) <= 1 && (argb & 0xffffff) == 0xffffff,
                 qPrintable(QString::number(argb, 16)));
    }

    // A run drawn as a picture after text under a clip of its own is not cut to that clip: words beside it were
    // lost so.
    void pictureRunIsNotCutByAnEarlierClip() {
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(30);
        const QByteArray emf = emfOf(pagePdf([&](QPainter &p) {
            p.setFont(font);
            p.setClipRect(QRectF(20, 20, 200, 60));
            p.drawText(QPointF(30, 60), QStringLiteral("Clipped"));
            p.setClipping(false);
            p.drawImage(QRectF(300, 260, 200, 60), logo());
            p.setOpacity(0.5); // over a picture: drawn as the PDF has it
            p.drawText(QPointF(300, 300), QStringLiteral("Faded"));
        }));
        QCOMPARE(emfProblems(emf), QString());
        const QList<Record> r = recordsOf(emf);
        int clipBefore = -1, pictures = 0;
        for (int i = 0; i < r.size() && pictures < 2; ++i) {
            if (r.at(i).type == 75 || r.at(i).type == 67)
                clipBefore = int(r.at(i).type);
            pictures += r.at(i).type == 81 || r.at(i).type == 114;
        }
        QCOMPARE(pictures, 2);
        QCOMPARE(clipBefore, 75); // the whole page, no path after it
    }

    // Hebrew and Arabic stay text, in the order they are read, for readers that order and shape them again, in a
    // face Word and PowerPoint have with those letters; in another face they are drawn as the PDF has them.
    void rightToLeftStaysText_data() {
        QTest::addColumn<QString>("face");
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("text");
        const QString hebrew = QStringLiteral("\u05e9\u05dc\u05d5\u05dd \u05e2\u05d5\u05dc\u05dd");
        const QString arabic = QStringLiteral("\u0645\u0631\u062d\u0628\u0627 \u0628\u0643\u0645");
        QTest::newRow("Hebrew in Arial's twin") << "Liberation Sans" << hebrew << true;
        // Longer than the record would be without room for a spacing array, which libuemf asks for.
        QTest::newRow("long Hebrew") << "Liberation Sans" << (hebrew + u' ').repeated(6).trimmed() << true;
        QTest::newRow("Arabic in Tahoma") << "Tahoma" << arabic << true;
        QTest::newRow("Arabic in a face of this machine's") << "DejaVu Sans" << arabic << false;
    }
    void rightToLeftStaysText() {
        QFETCH(QString, face);
        QFETCH(QString, line);
        QFETCH(bool, text);
        if (!QFontDatabase::families().contains(face))
            QSKIP("the face is not installed");
        QFont font(face);
        font.setPixelSize(30);
        const QByteArray emf = emfOf(pagePdf([&](QPainter &p) {
            p.setFont(font);
            p.drawText(QPointF(100, 100), line);
            p.drawText(QPointF(100, 200), QStringLiteral("2024 ") + line);
        }));
        QCOMPARE(emfProblems(emf), QString());
        QStringList rightToLeft, leftToRight;
        for (const Record &t : ofType(recordsOf(emf), 84)) {
            const QString drawn = utf16At(t, t.i32(48), t.i32(44)).trimmed();
            if (!drawn.isEmpty())
                (t.u32(52) & 0x80 ? rightToLeft : leftToRight) << drawn;
        }
        QCOMPARE(rightToLeft, text ? QStringList({line, line}) : QStringList());
        QCOMPARE(leftToRight, QStringList{QStringLiteral("2024")}); // a number reads from the left
        const bool pictures = !ofType(recordsOf(emf), 81).isEmpty() || !ofType(recordsOf(emf), 114).isEmpty();
        QCOMPARE(pictures, !text);
    }

    void whatCannotBeDrawn_data() {
        QTest::addColumn<QByteArray>("pdf");
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("reason");
        const QByteArray good = pagePdf([](QPainter &p) { p.fillRect(QRectF(0, 0, 10, 10), Qt::red); });
        QTest::newRow("nothing") << QByteArray() << 0 << "cannot be read";
        QTest::newRow("cut") << good.left(good.size() / 3) << 0 << "";
        QTest::newRow("no such page") << good << 1 << "no page 2";
        QTest::newRow("negative page") << good << -1 << "no page 0";
    }
    void whatCannotBeDrawn() {
        QFETCH(QByteArray, pdf);
        QFETCH(int, page);
        QFETCH(QString, reason);
        const PdfPages pages(pdf);
        QString error;
        const QByteArray emf = pages.Emf(page, 0, 150, &error);
        // Either a whole file or a reason; a cut PDF may still give its page.
        QVERIFY(emf.isEmpty() != error.isEmpty());
        if (!emf.isEmpty())
            QCOMPARE(emfProblems(emf), QString());
        if (!reason.isEmpty())
            QVERIFY2(error.contains(reason), qPrintable(error));
    }

    void spentTimeLimitGivesAReason() {
        const PdfPages pages(pagePdf([](QPainter &p) {
            for (int i = 0; i < 2000; ++i)
                p.fillRect(QRectF(i % 700, i % 500, 5, 5), QColor(i % 255, 0, 0));
        }));
        QString error;
        QVERIFY(pages.Emf(0, 0, 150, &error, true, std::chrono::steady_clock::now()).isEmpty());
        QVERIFY2(error.contains(QLatin1String("time limit")), qPrintable(error));
    }

    // Workers draw their decks' pages as EMF, SVG and PNG at the same time, each from a document of its own.
    void workersDrawAtOnce() {
        const QByteArray pdf = pagePdf(
            [](QPainter &p) {
                p.fillRect(QRectF(0, 0, 300, 200), Qt::blue);
                p.setOpacity(0.4);
                p.drawText(QPointF(20, 300), QStringLiteral("Slide"));
                p.drawImage(QRectF(400, 100, 80, 40), logo());
            },
            3);
        std::atomic<int> good{0};
        std::vector<std::thread> workers;
        for (int w = 0; w < 6; ++w) {
            workers.emplace_back([&pdf, &good, w] {
                const PdfPages pages(pdf);
                for (int k = 0; k < pages.Count(); ++k) {
                    QString error;
                    const QByteArray out = w % 3 == 0   ? pages.Emf(k, 150, 150, &error)
                                           : w % 3 == 1 ? pages.Svg(k, &error)
                                                        : pages.Png(k, 320, &error);
                    good += !out.isEmpty() && error.isEmpty() && (w % 3 || emfProblems(out).isEmpty());
                }
            });
        }
        for (std::thread &t : workers)
            t.join();
        QCOMPARE(good.load(), 6 * 3);
    }
};

QTEST_MAIN(TestPdfEmf)
#include "tst_pdfemf.moc"
