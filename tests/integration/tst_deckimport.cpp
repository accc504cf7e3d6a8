// Decks drawn as PowerPoint draws them where the office's import differs: the fonts (the deck's own where the
// machine lacks them, stand-ins chosen by width for fonts nobody has, nothing of one deck's fonts in the next
// deck), shrink-to-fit text at PowerPoint's scale, and SVG pictures.
#include "SlideWords.h"
#include "TestSupport.h"
#include "base/lxOutputOptions.h"
#include "deck/DeckPackage.h"
#include "fonts/FontSetup.h"
#include "platform/office/OfficeSession.h"

#include <QBuffer>
#include <QColor>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <memory>

namespace {
const char kDejaVu[] = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

// DejaVu Sans under a family name no machine has ("Qxlvwz Sans"): the same length, so the name table's offsets
// hold.
} // namespace

class TestDeckImport : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void packageParts();
    void deckFontUsed_data();
    void deckFontUsed();
    void damagedFontFailsAlone_data();
    void damagedFontFailsAlone();
    void symbolBullets();
    void standIn_data();
    void standIn();
    void twinBreaksAsPowerPoint_data();
    void twinBreaksAsPowerPoint();
    void shrinkToFit_data();
    void shrinkToFit();
    void bottomTitle_data();
    void bottomTitle();
    void wordsKept_data();
    void wordsKept();
    void svgPicture_data();
    void svgPicture();
    void equationPicture_data();
    void equationPicture();
    void shadowByFill_data();
    void shadowByFill();
    void fillOverlay_data();
    void fillOverlay();
    void paragraphSpacing_data();
    void paragraphSpacing();
    void textAsText_data();
    void textAsText();

private:
    // The deck converted to the format (with its extension as the name), written beside it; the file of slide 1 for
    // the formats written a slide a file, the PDF otherwise; empty when it could not be made.
    QString convert(const QByteArray &deck, const QString &name, const QString &format);
    // The office's PDF of the deck, written beside it; empty when it could not be made.
    QString pdf(const QByteArray &deck, const QString &name) { return convert(deck, name, QStringLiteral("pdf")); }
    // How far below the first paragraph's top the second one's lies, in points, in the office's PDF of two 40-point
    // paragraphs, the second spaced before as given; -1 where they are not found.
    double secondParagraphAt(const QByteArray &body, const QByteArray &spacing, const QString &name);
    // The fonts the office's PDF of the deck names, subset tags stripped.
    QStringList pdfFonts(const QByteArray &deck, const QString &name);

    QTemporaryDir m_dir;
    std::unique_ptr<office::OfficeSession> m_session;
};

void TestDeckImport::initTestCase() {
    QVERIFY(m_dir.isValid());
    if (!QFile::exists(QString::fromLatin1(kDejaVu)))
        QSKIP("DejaVu Sans is not installed");
    m_session = std::make_unique<office::OfficeSession>();
}

QString TestDeckImport::convert(const QByteArray &deck, const QString &name, const QString &format) {
    const QString path = m_dir.filePath(name + QStringLiteral(".pptx"));
    const QString target = m_dir.filePath(name + u'.' + format);
    if (!TestSupport::writeAll(path, deck))
        return QString();
    const TlxOutputOptions options = TlxOutputOptions::Parse(format, QString(), QString(), QStringLiteral("960"));
    const int doc = m_session->Open(path);
    m_session->SaveAs(doc, target, options);
    m_session->Close(doc);
    return format == QLatin1String("pdf") ? target : TlxOutputOptions::SlidePath(target, 1);
}

QStringList TestDeckImport::pdfFonts(const QByteArray &deck, const QString &name) {
    QProcess p;
    p.start(QStringLiteral("pdffonts"), {pdf(deck, name)});
    p.waitForFinished(60000);
    QStringList fonts;
    for (const QString &line : QString::fromLocal8Bit(p.readAllStandardOutput()).split(u'\n').mid(2))
        if (!line.isEmpty())
            fonts << line.section(u' ', 0, 0).section(u'+', -1);
    return fonts;
}

// The parts the fonts are read from, from a real deck (deflated) and from damaged packages (none, nothing more).
void TestDeckImport::packageParts() {
    const deck::DeckPackage real(TestSupport::corpusDir() + QStringLiteral("/test_slides.pptx"));
    QVERIFY(real.IsOpen());
    QVERIFY(real.Read(QStringLiteral("ppt/presentation.xml")).contains("sldIdLst"));
    QVERIFY(real.Read(QStringLiteral("ppt/presentation.xml"), 16).isEmpty()); // over the limit asked
    QVERIFY(real.Read(QStringLiteral("no/such/part")).isEmpty());

    const QByteArray made = TestSupport::pptxDeck(QStringLiteral("Arial"), QStringLiteral("x"));
    for (qsizetype cut : {made.size() - 10, made.size() / 2, qsizetype(30)}) {
        const QString path = m_dir.filePath(QStringLiteral("cut.pptx"));
        QVERIFY(TestSupport::writeAll(path, made.left(cut)));
        const deck::DeckPackage damaged(path);
        QVERIFY(!damaged.IsOpen());
        QVERIFY(damaged.Read(QStringLiteral("ppt/presentation.xml")).isEmpty());
    }
}

void TestDeckImport::deckFontUsed_data() {
    QTest::addColumn<bool>("obfuscated");
    QTest::newRow("plain") << false;
    QTest::newRow("obfuscated") << true;
}

// A deck's own font draws its text; the next deck asking for the same family without carrying it does not get
// it (each office sees only the fonts of the deck it was started for).
void TestDeckImport::deckFontUsed() {
    QFETCH(bool, obfuscated);
    const QString family = QStringLiteral("Qxlvwz Sans");
    QVERIFY(!fonts::FontSetup::Installed(family));
    const QByteArray font = TestSupport::eotFont(TestSupport::renamedFont(), obfuscated);
    const QStringList carried = pdfFonts(TestSupport::pptxDeck(family, QStringLiteral("Carried"), font), "carried");
    QVERIFY2(carried.contains(QStringLiteral("QxlvwzSans")), qPrintable(carried.join(u',')));
    const QStringList next = pdfFonts(TestSupport::pptxDeck(family, QStringLiteral("Asked only")), "asked");
    QVERIFY2(!next.isEmpty() && !next.contains(QStringLiteral("QxlvwzSans")), qPrintable(next.join(u',')));
}

void TestDeckImport::damagedFontFailsAlone_data() {
    QTest::addColumn<QByteArray>("font");
    const QByteArray eot = TestSupport::eotFont(TestSupport::renamedFont(), false);
    QTest::newRow("noise") << QByteArray(4000, '\x5a');
    QTest::newRow("cut short") << eot.left(eot.size() / 3);
    QByteArray huge = eot;
    qToLittleEndian<quint32>(0x7fffffff, huge.data() + 4); // font data said to be 2 GB
    QTest::newRow("sizes lie") << huge;
    QByteArray compressed = eot;
    qToLittleEndian<quint32>(0x4, compressed.data() + 12); // said to be compressed, but it is not
    QTest::newRow("not compressed as said") << compressed;
}

// A font that cannot be used leaves the deck to convert with a stand-in, and the log names the font.
void TestDeckImport::damagedFontFailsAlone() {
    QFETCH(QByteArray, font);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("not used.*Qxlvwz Sans \\(regular\\)")));
    const QStringList fonts =
        pdfFonts(TestSupport::pptxDeck(QStringLiteral("Qxlvwz Sans"), QStringLiteral("Damaged"), font), "damaged");
    QVERIFY2(!fonts.isEmpty() && !fonts.contains(QStringLiteral("QxlvwzSans")), qPrintable(fonts.join(u',')));
}

// Bullets in Wingdings, as PowerPoint's own lists have them, are drawn with Wine's metric copy of it, not as
// a letter of whatever font fontconfig would pick.
void TestDeckImport::symbolBullets() {
    if (!fonts::FontSetup::Installed(QStringLiteral("Wingdings")))
        QSKIP("Wingdings (fonts-wine) is not installed");
    TestSupport::PptxExtras extras;
    extras.paragraphs = "<a:p><a:pPr marL=\"342900\" indent=\"-342900\"><a:buFont typeface=\"Wingdings\"/>"
                        "<a:buChar char=\"\xc2\xa7\"/></a:pPr><a:r><a:rPr lang=\"en-US\" sz=\"3200\"/>"
                        "<a:t>A bullet</a:t></a:r></a:p>";
    const QStringList fonts =
        pdfFonts(TestSupport::pptxDeck(QStringLiteral("Liberation Sans"), QString(), QByteArray(), extras), "bullets");
    QVERIFY2(fonts.filter(QStringLiteral("Wingdings")).size() == 1, qPrintable(fonts.join(u',')));
}

void TestDeckImport::standIn_data() {
    QTest::addColumn<QString>("asked");
    QTest::addColumn<QString>("drawn");
    QTest::newRow("Century Gothic") << "Century Gothic"
                                    << "URWGothic";
    QTest::newRow("Segoe UI: its width-matched twin") << "Segoe UI"
                                                      << "VorlaneSansSG";
    QTest::newRow("Aptos") << "Aptos"
                           << "Cantarell";
    QTest::newRow("Consolas: its width-matched twin") << "Consolas"
                                                      << "VorlaneMono55";
}

// A font nobody has is drawn with the stand-in of the table, not with whatever fontconfig would pick.
void TestDeckImport::standIn() {
    QFETCH(QString, asked);
    QFETCH(QString, drawn);
    const QStringList fonts = pdfFonts(TestSupport::pptxDeck(asked, QStringLiteral("Stand-in")), "standin");
    QVERIFY2(std::any_of(fonts.begin(), fonts.end(), [&](const QString &f) { return f.startsWith(drawn); }),
             qPrintable(fonts.join(u',')));
}

void TestDeckImport::twinBreaksAsPowerPoint_data() {
    QTest::addColumn<QString>("typeface");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("width"); // of the box, in EMU: two words fit at PowerPoint's widths, the third does not
    // Consolas: 0.55 em a character (21 x 22 pt of 500 pt); Inconsolata's 0.5 em held all three on one line.
    QTest::newRow("Consolas") << "Consolas"
                              << "0123456789 0123456789 01" << 6350000;
    // Verdana: "I" 0.421 em and the space 0.352 as PowerPoint's PDFs give them (two words 351 pt of 376 pt);
    // DejaVu Sans draws "I" at 0.295 em and held all three on one line.
    QTest::newRow("Verdana") << "Verdana"
                             << "IIIIIIIIII IIIIIIIIII II" << 4775200;
    // Fonts no tuned deck shows, measured on PDFs of other decks: Lucida Sans Unicode's "l" is 0.289 em (two words
    // 244 pt of 260 pt), Liberation Sans, the sans any unknown font got before, set all three in 218 pt.
    QTest::newRow("Lucida Sans Unicode") << "Lucida Sans Unicode"
                                         << "llllllllll llllllllll ll" << 3302000;
    // Franklin Gothic Book's "t" is 0.308 em (two words 256 pt of 278 pt); Liberation Sans set all three in 267 pt.
    QTest::newRow("Franklin Gothic Book") << "Franklin Gothic Book"
                                          << "tttttttttt tttttttttt tt" << 3530600;
}

// A line breaks where PowerPoint breaks it: a font's width-matched twin sets each character as wide as PowerPoint's
// PDFs give it, where the closest free face set the line narrower and kept a word PowerPoint wraps.
void TestDeckImport::twinBreaksAsPowerPoint() {
    QFETCH(QString, typeface);
    QFETCH(QString, text);
    QFETCH(int, width);
    TestSupport::PptxExtras box;
    box.bodyProperties = "<a:bodyPr wrap=\"square\" lIns=\"0\" rIns=\"0\"/>";
    box.frame = "<a:off x=\"457200\" y=\"457200\"/><a:ext cx=\"" + QByteArray::number(width) + "\" cy=\"3000000\"/>";
    const QString made = pdf(TestSupport::pptxDeck(typeface, text, {}, box), "twin");
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), made, QStringLiteral("-")});
    QVERIFY(p.waitForFinished(60000));
    static const QRegularExpression word(QStringLiteral("<word xMin=\"[^\"]*\" yMin=\"([0-9.]+)\"[^>]*>([^<]*)<"));
    QList<QPair<QString, double>> words;
    for (auto it = word.globalMatch(QString::fromUtf8(p.readAllStandardOutput())); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        words.append({m.captured(2), m.captured(1).toDouble()});
    }
    QCOMPARE(words.size(), 3);
    QCOMPARE(words.at(1).second, words.at(0).second);
    QVERIFY2(words.at(2).second > words.at(0).second + 20, "the third word stayed on the first line");
}

namespace {
// The height of the first word of the PDF's first page, in points (pdftotext's box of it).
double firstWordHeight(const QString &pdf) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    p.waitForFinished(60000);
    static const QRegularExpression word(QStringLiteral("<word xMin=\"[^\"]*\" yMin=\"([0-9.]+)\" xMax=\"[^\"]*\" "
                                                        "yMax=\"([0-9.]+)\">"));
    const QRegularExpressionMatch m = word.match(QString::fromUtf8(p.readAllStandardOutput()));
    return m.hasMatch() ? m.captured(2).toDouble() - m.captured(1).toDouble() : -1;
}

QByteArray squarePng(QColor colour) {
    return TestSupport::png(QSize(64, 64), colour);
}

// The colour at the middle of the picture shape below, as poppler draws the PDF's page.
QColor pictureColour(const QString &pdf) {
    QProcess p;
    const QString base = pdf.left(pdf.size() - 4);
    p.start(QStringLiteral("pdftocairo"), {QStringLiteral("-png"), QStringLiteral("-singlefile"),
                                           QStringLiteral("-scale-to"), QStringLiteral("400"), pdf, base});
    p.waitForFinished(60000);
    const QImage page(base + QStringLiteral(".png"));
    return page.isNull() ? QColor() : page.pixelColor(page.width() / 2, page.height() * 3 / 4);
}
} // namespace

namespace {
// One line of text in a box that holds it at full size, PowerPoint having shrunk it to half anyway; in a text box
// or in a title placeholder; with empty paragraphs after it that run far below the slide (where nothing shows).
QByteArray shrunkDeck(bool title, bool saved = true, int blankTail = 0) {
    TestSupport::PptxExtras shrunk;
    shrunk.bodyProperties = QByteArray("<a:bodyPr wrap=\"square\"><a:normAutofit") +
                            (saved ? " fontScale=\"50000\"" : "") + "/></a:bodyPr>";
    if (title)
        shrunk.placeholder = "<p:ph type=\"title\"/>";
    if (blankTail > 0)
        shrunk.paragraphs = "<a:p><a:r><a:rPr lang=\"en-US\" sz=\"4000\"><a:latin typeface=\"Liberation Sans\"/>"
                            "</a:rPr><a:t>Shrunk</a:t></a:r></a:p>" +
                            QByteArray("<a:p><a:endParaRPr lang=\"en-US\" sz=\"4000\"/></a:p>").repeated(blankTail);
    return TestSupport::pptxDeck("Liberation Sans", "Shrunk", QByteArray(), shrunk);
}
} // namespace

void TestDeckImport::shrinkToFit_data() {
    QTest::addColumn<bool>("title");
    QTest::addColumn<int>("blankTail");
    QTest::newRow("text box") << false << 0;
    QTest::newRow("title") << true << 0;
    QTest::newRow("text box ending in empty paragraphs") << false << 30;
}

// Text PowerPoint shrank to half its size in a box it fits in anyway: the office draws it at half too (left to
// itself it would find no reason to shrink).
void TestDeckImport::shrinkToFit() {
    QFETCH(bool, title);
    QFETCH(int, blankTail);
    const double full = firstWordHeight(pdf(shrunkDeck(title, false), "full"));
    const double half = firstWordHeight(pdf(shrunkDeck(title, true, blankTail), "half"));
    QVERIFY2(full > 0 && half > 0, "no text in the PDF");
    QVERIFY2(std::abs(half / full - 0.5) < 0.08, qPrintable(QStringLiteral("%1 against %2").arg(half).arg(full)));
}

namespace {
// Where each text record of an EMF puts its text: "text@y" (y of its reference point, the EMF's logical units).
QStringList emfTextPlaces(const QByteArray &emf) {
    QStringList places;
    TestSupport::forEachEmfRecord(emf, [&](quint32 type, const char *record, quint32 size) {
        if (type != 84 || size < 76) // EMR_EXTTEXTOUTW: the reference point, the characters and their offset
            return;
        const qint32 y = qFromLittleEndian<qint32>(record + 40);
        const quint32 chars = qFromLittleEndian<quint32>(record + 44), at = qFromLittleEndian<quint32>(record + 48);
        if (at + 2 * quint64(chars) <= size)
            places << QString::fromUtf16(reinterpret_cast<const char16_t *>(record + at), chars) + u'@' +
                          QString::number(y);
    });
    return places;
}

// Where each word of a PDF's first page lies: "word@yMin" in points, as pdftotext finds it on the page.
QStringList pdfWordPlaces(const QString &pdf) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"),
            {QStringLiteral("-bbox"), QStringLiteral("-l"), QStringLiteral("1"), pdf, QStringLiteral("-")});
    p.waitForFinished(60000);
    static const QRegularExpression word(QStringLiteral("<word xMin=\"[^\"]*\" yMin=\"([-0-9.]+)\"[^>]*>([^<]*)<"));
    QStringList places;
    for (auto m = word.globalMatch(QString::fromUtf8(p.readAllStandardOutput())); m.hasNext();) {
        const QRegularExpressionMatch w = m.next();
        places << w.captured(2) + u'@' + w.captured(1);
    }
    return places;
}

// The bands of rows with dark ink in a picture, top to bottom: one per line of dark text on a light slide; none
// when a line is cut by the picture's top edge.
int inkBands(const QString &png) {
    const QImage image(png);
    int bands = 0;
    bool inBand = false;
    for (int y = 0; y < image.height(); ++y) {
        bool ink = false;
        for (int x = 0; x < image.width() && !ink; ++x)
            ink = qGray(image.pixel(x, y)) < 96;
        if (ink && y == 0)
            return 0;
        bands += ink && !inBand;
        inBand = ink;
    }
    return image.isNull() ? -1 : bands;
}

// What a run wrote that must be the same from run to run, and whether both lines of the title are on the slide.
QString titleDrawn(const QString &format, const QString &file, bool *bothOnSlide) {
    if (format == QLatin1String("png")) {
        *bothOnSlide = inkBands(file) == 2;
        return QString::fromLatin1(
            QCryptographicHash::hash(TestSupport::readAll(file), QCryptographicHash::Sha1).toHex());
    }
    const QStringList places =
        format == QLatin1String("emf") ? emfTextPlaces(TestSupport::readAll(file)) : pdfWordPlaces(file);
    // A word's place is the top of its box in a PDF and the baseline of its line in an EMF: a whole first line has
    // its baseline half a line below the slide's top at least.
    const auto place = [&](const QString &word) {
        for (const QString &p : places)
            if (p.section(u'@', 0, 0).contains(word))
                return p.section(u'@', 1).toDouble();
        return -1e9;
    };
    const double upper = place(QStringLiteral("Upper")), lower = place(QStringLiteral("Lower"));
    const double top = format == QLatin1String("emf") ? (lower - upper) / 2 : 0;
    *bothOnSlide = upper >= top && lower > upper;
    return places.join(u' ');
}
} // namespace

namespace {
// A bottom-anchored title of two lines at 54 pt that overflow its box upwards, near the slide's top.
QByteArray titleDeck(const QByteArray &autofit) {
    TestSupport::PptxExtras title;
    title.placeholder = "<p:ph type=\"title\"/>";
    title.frame = "<a:off x=\"457200\" y=\"100000\"/><a:ext cx=\"8229600\" cy=\"900000\"/>";
    title.bodyProperties = "<a:bodyPr anchor=\"b\">" + autofit + "</a:bodyPr>";
    for (const char *line : {"Upper", "Lower"})
        title.paragraphs += QByteArray("<a:p><a:r><a:rPr lang=\"en-US\" sz=\"5400\"><a:solidFill><a:srgbClr "
                                       "val=\"000000\"/></a:solidFill><a:latin typeface=\"Liberation "
                                       "Sans\"/></a:rPr><a:t>") +
                            line + "</a:t></a:r></a:p>";
    return TestSupport::pptxDeck(QStringLiteral("Liberation Sans"), QString(), QByteArray(), title);
}
} // namespace

void TestDeckImport::bottomTitle_data() {
    QTest::addColumn<QString>("format");
    QTest::addColumn<QByteArray>("autofit");
    for (const char *format : {"emf", "pdf", "png"}) {
        QTest::addRow("%s, no scale saved", format) << QString::fromLatin1(format) << QByteArray("<a:normAutofit/>");
        QTest::addRow("%s, overflowing at the saved scale", format)
            << QString::fromLatin1(format) << QByteArray("<a:normAutofit fontScale=\"90000\"/>");
    }
}

// A title anchored at its bottom whose two lines overflow its box upwards, the deck saving no scale for it (the
// font PowerPoint had was narrower than the machine's): the office's own fitting keeps both lines on the slide, and
// the same deck gives the same slide every time.
void TestDeckImport::bottomTitle() {
    QFETCH(QString, format);
    QFETCH(QByteArray, autofit);
    const QByteArray deck = titleDeck(autofit);
    QString first;
    for (int run = 0; run < 5; ++run) {
        bool bothOnSlide = false;
        // Another deck between the runs, its text at the deck's scale: what the office did to it stays with it.
        QVERIFY(!convert(shrunkDeck(false), QStringLiteral("between"), format).isEmpty());
        const QString drawn =
            titleDrawn(format, convert(deck, QStringLiteral("title%1").arg(run), format), &bothOnSlide);
        QVERIFY2(bothOnSlide, qPrintable(QStringLiteral("run %1: %2").arg(run + 1).arg(drawn)));
        if (run == 0)
            first = drawn;
        QCOMPARE(drawn, first);
    }
}

void TestDeckImport::wordsKept_data() {
    QTest::addColumn<QByteArray>("deck");
    QTest::newRow("title, no scale saved") << titleDeck("<a:normAutofit/>");
    QTest::newRow("title overflowing at its scale") << titleDeck("<a:normAutofit fontScale=\"90000\"/>");
    QTest::newRow("text box at its scale") << shrunkDeck(false);
    QTest::newRow("title at its scale") << shrunkDeck(true);
}

// What this program does to a deck before the office draws it never loses a word the office alone would show.
void TestDeckImport::wordsKept() {
    QFETCH(QByteArray, deck);
    const QString ours = pdf(deck, QStringLiteral("words"));
    QString error;
    const QString dir = m_dir.filePath(QStringLiteral("office"));
    QVERIFY(QDir().mkpath(dir));
    const QString office = SlideWords::OfficePdf(m_dir.filePath(QStringLiteral("words.pptx")), dir, &error);
    QVERIFY2(!office.isEmpty(), qPrintable(error));
    const QList<QStringList> officeWords = SlideWords::FromPdf(office, &error);
    QVERIFY2(!officeWords.isEmpty() && !officeWords.first().isEmpty(), qPrintable(error));
    const QStringList differences = SlideWords::Differences(SlideWords::FromPdf(ours, &error), officeWords);
    QVERIFY2(differences.isEmpty(), qPrintable(differences.join(u'\n') + error));
}

void TestDeckImport::svgPicture_data() {
    QTest::addColumn<bool>("withPng");
    QTest::addColumn<QColor>("expected");
    QTest::newRow("with PowerPoint's PNG") << true << QColor(Qt::red);
    QTest::newRow("SVG only") << false << QColor(Qt::blue);
}

// An SVG picture is drawn from the PNG PowerPoint saved of it, as PowerPoint shows it (the office may draw the SVG
// otherwise or not at all); an SVG without a PNG is drawn itself.
void TestDeckImport::svgPicture() {
    QFETCH(bool, withPng);
    QFETCH(QColor, expected);
    TestSupport::PptxExtras picture;
    picture.shapes = "<p:pic><p:nvPicPr><p:cNvPr id=\"3\" name=\"Icon\"/><p:cNvPicPr/><p:nvPr/></p:nvPicPr>"
                     "<p:blipFill><a:blip" +
                     QByteArray(withPng ? " r:embed=\"rId3\"" : "") +
                     "><a:extLst><a:ext uri=\"{96DAC541-7B7A-43D3-8B79-37D633B846F1}\"><asvg:svgBlip "
                     "xmlns:asvg=\"http://schemas.microsoft.com/office/drawing/2016/SVG/main\" r:embed=\"rId2\"/>"
                     "</a:ext></a:extLst></a:blip><a:stretch><a:fillRect/></a:stretch></p:blipFill><p:spPr><a:xfrm>"
                     "<a:off x=\"3429000\" y=\"4000000\"/><a:ext cx=\"2286000\" cy=\"2286000\"/></a:xfrm>"
                     "<a:prstGeom prst=\"rect\"><a:avLst/></a:prstGeom></p:spPr></p:pic>";
    picture.slideRelationships = {{"image", "../media/image1.svg"}, {"image", "../media/image2.png"}};
    picture.parts = {{QStringLiteral("ppt/media/image1.svg"),
                      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"64\" height=\"64\" viewBox=\"0 0 64 64\">"
                      "<rect width=\"64\" height=\"64\" fill=\"#0000ff\"/></svg>"},
                     {QStringLiteral("ppt/media/image2.png"), squarePng(Qt::red)}};
    const QString made = pdf(TestSupport::pptxDeck("Liberation Sans", "Picture", QByteArray(), picture), "svg");
    const QColor drawn = pictureColour(made);
    QVERIFY2(std::abs(drawn.red() - expected.red()) < 40 && std::abs(drawn.blue() - expected.blue()) < 40 &&
                 drawn.green() < 40,
             qPrintable(drawn.name()));
}

void TestDeckImport::equationPicture_data() {
    QTest::addColumn<QByteArray>("choice"); // what holds the math, filled blue
    const QByteArray frame = "<a:off x=\"3429000\" y=\"4000000\"/><a:ext cx=\"2286000\" cy=\"2286000\"/>";
    const QByteArray math = "<a:p><a14:m><m:oMathPara xmlns:m=\"http://schemas.openxmlformats.org/officeDocument/2006/"
                            "math\"><m:oMath><m:r><m:t>x=1</m:t></m:r></m:oMath></m:oMathPara></a14:m></a:p>";
    QTest::newRow("in a shape") << "<p:sp><p:nvSpPr><p:cNvPr id=\"3\" name=\"Equation\"/><p:cNvSpPr/><p:nvPr/>"
                                   "</p:nvSpPr><p:spPr><a:xfrm>" +
                                       frame +
                                       "</a:xfrm><a:prstGeom prst=\"rect\"><a:avLst/></a:prstGeom><a:solidFill>"
                                       "<a:srgbClr val=\"0000FF\"/></a:solidFill></p:spPr><p:txBody><a:bodyPr/>" +
                                       math + "</p:txBody></p:sp>";
    QTest::newRow("in a table cell")
        << "<p:graphicFrame><p:nvGraphicFramePr><p:cNvPr id=\"3\" name=\"Table\"/><p:cNvGraphicFramePr/><p:nvPr/>"
           "</p:nvGraphicFramePr><p:xfrm>" +
               frame +
               "</p:xfrm><a:graphic><a:graphicData uri=\"http://schemas.openxmlformats.org/drawingml/2006/table\">"
               "<a:tbl><a:tblGrid><a:gridCol w=\"2286000\"/></a:tblGrid><a:tr h=\"2286000\"><a:tc><a:txBody>"
               "<a:bodyPr/>" +
               math +
               "</a:txBody><a:tcPr><a:solidFill><a:srgbClr val=\"0000FF\"/></a:solidFill></a:tcPr></a:tc></a:tr>"
               "</a:tbl></a:graphicData></a:graphic></p:graphicFrame>";
}

// An equation, which the office's import loses, is drawn from the picture PowerPoint saved of it, in a shape and
// in a table cell.
void TestDeckImport::equationPicture() {
    QFETCH(QByteArray, choice);
    TestSupport::PptxExtras picture;
    picture.shapes =
        "<mc:AlternateContent xmlns:mc=\"http://schemas.openxmlformats.org/markup-compatibility/2006\" "
        "xmlns:a14=\"http://schemas.microsoft.com/office/drawing/2010/main\"><mc:Choice Requires=\"a14\">" +
        choice +
        "</mc:Choice><mc:Fallback xmlns=\"\"><p:pic><p:nvPicPr><p:cNvPr id=\"3\" name=\"Equation\"/>"
        "<p:cNvPicPr/><p:nvPr/></p:nvPicPr><p:blipFill><a:blip r:embed=\"rId2\"/><a:stretch>"
        "<a:fillRect/></a:stretch></p:blipFill><p:spPr><a:xfrm><a:off x=\"3429000\" y=\"4000000\"/>"
        "<a:ext cx=\"2286000\" cy=\"2286000\"/></a:xfrm><a:prstGeom prst=\"rect\"><a:avLst/>"
        "</a:prstGeom></p:spPr></p:pic></mc:Fallback></mc:AlternateContent>";
    picture.slideRelationships = {{"image", "../media/image1.png"}};
    picture.parts = {{QStringLiteral("ppt/media/image1.png"), squarePng(Qt::red)}};
    const QString made = pdf(TestSupport::pptxDeck("Liberation Sans", "Equation", QByteArray(), picture), "math");
    const QColor drawn = pictureColour(made);
    QVERIFY2(drawn.red() > 200 && drawn.green() < 40 && drawn.blue() < 40, qPrintable(drawn.name()));
}

void TestDeckImport::shadowByFill_data() {
    QTest::addColumn<QByteArray>("fill");
    QTest::addColumn<int>("least"); // the grey the middle of the shape keeps, at least
    QTest::newRow("no fill") << QByteArray("<a:noFill/>") << 240;
    QTest::newRow("white at 20 %") << QByteArray("<a:solidFill><a:srgbClr val=\"FFFFFF\"><a:alpha val=\"20000\"/>"
                                                 "</a:srgbClr></a:solidFill>")
                                   << 190;
    QTest::newRow("picture at 20 %") << QByteArray("<a:blipFill><a:blip r:embed=\"rId2\"><a:alphaModFix "
                                                   "amt=\"20000\"/></a:blip><a:tile/></a:blipFill>")
                                     << 190;
}

namespace {
// A square shape in the lower middle of the slide (where pictureColour looks) with the fill and effects given, and
// a light grey picture the fill may use.
TestSupport::PptxExtras card(const QByteArray &fill, const QByteArray &effects) {
    TestSupport::PptxExtras shape;
    shape.slideRelationships = {{"image", "../media/image1.png"}};
    shape.parts = {{QStringLiteral("ppt/media/image1.png"), squarePng(QColor(220, 220, 220))}};
    shape.shapes = "<p:sp><p:nvSpPr><p:cNvPr id=\"3\" name=\"Card\"/><p:cNvSpPr/><p:nvPr/></p:nvSpPr><p:spPr>"
                   "<a:xfrm><a:off x=\"3429000\" y=\"4000000\"/><a:ext cx=\"2286000\" cy=\"2286000\"/></a:xfrm>"
                   "<a:prstGeom prst=\"rect\"><a:avLst/></a:prstGeom>" +
                   fill + "<a:ln><a:noFill/></a:ln><a:effectLst>" + effects + "</a:effectLst></p:spPr></p:sp>";
    return shape;
}
} // namespace

// A translucent shape's shadow does not show through it: PowerPoint casts it as faint as the fill. The office
// does so for colour fills and none, but casts a translucent picture's shadow whole (a grey card where PowerPoint
// shows a white one), so the copy leaves that shadow out.
void TestDeckImport::shadowByFill() {
    QFETCH(QByteArray, fill);
    QFETCH(int, least);
    const QByteArray shadow = "<a:outerShdw blurRad=\"101600\" dist=\"50800\" dir=\"5400000\" algn=\"t\" "
                              "rotWithShape=\"0\"><a:srgbClr val=\"000000\"/></a:outerShdw>";
    const QColor drawn =
        pictureColour(pdf(TestSupport::pptxDeck("Liberation Sans", "Card", QByteArray(), card(fill, shadow)), "card"));
    QVERIFY2(drawn.isValid() && qGray(drawn.rgb()) >= least, qPrintable(drawn.name()));
}

void TestDeckImport::fillOverlay_data() {
    QTest::addColumn<QByteArray>("fill");
    QTest::addColumn<QByteArray>("blend");
    QTest::addColumn<bool>("blue"); // whether PowerPoint shows the overlay's blue (else the fill's grey)
    const QByteArray texture = "<a:blipFill><a:blip r:embed=\"rId2\"><a:alphaModFix amt=\"50000\"/></a:blip>"
                               "<a:tile tx=\"0\" ty=\"0\" sx=\"50000\" sy=\"50000\"/></a:blipFill>";
    const QByteArray grey = "<a:solidFill><a:srgbClr val=\"DCDCDC\"/></a:solidFill>";
    QTest::newRow("tiled texture, multiplied") << texture << QByteArray("mult") << true;
    QTest::newRow("colour, drawn over") << grey << QByteArray("over") << true;
    // Multiplied with a colour the mix is neither colour: the office's grey is left as it is.
    QTest::newRow("colour, multiplied") << grey << QByteArray("mult") << false;
}

// A fill overlay is an effect the office ignores: a theme's corner triangle of translucent grey texture, which
// PowerPoint shows in the overlay's blue gradient, came out as grey hatching.
void TestDeckImport::fillOverlay() {
    QFETCH(QByteArray, fill);
    QFETCH(QByteArray, blend);
    QFETCH(bool, blue);
    const QByteArray overlay = "<a:fillOverlay blend=\"" + blend +
                               "\"><a:gradFill rotWithShape=\"1\"><a:gsLst><a:gs pos=\"0\"><a:srgbClr val=\"1F4E99\"/>"
                               "</a:gs><a:gs pos=\"100000\"><a:srgbClr val=\"2E75D6\"/></a:gs></a:gsLst>"
                               "<a:lin ang=\"450000\" scaled=\"1\"/></a:gradFill></a:fillOverlay>";
    const QColor drawn = pictureColour(
        pdf(TestSupport::pptxDeck("Liberation Sans", "Card", QByteArray(), card(fill, overlay)), "overlay"));
    QVERIFY2(drawn.isValid() && (drawn.blue() - drawn.red() > 60) == blue, qPrintable(drawn.name()));
}

double TestDeckImport::secondParagraphAt(const QByteArray &body, const QByteArray &spacing, const QString &name) {
    TestSupport::PptxExtras box;
    box.bodyProperties = body;
    box.frame = "<a:off x=\"457200\" y=\"457200\"/><a:ext cx=\"8229600\" cy=\"4000000\"/>";
    const QByteArray run = "<a:r><a:rPr lang=\"en-US\" sz=\"4000\"><a:latin typeface=\"Liberation Sans\"/></a:rPr>";
    box.paragraphs = "<a:p>" + run + "<a:t>First</a:t></a:r></a:p><a:p><a:pPr><a:spcBef>" + spacing +
                     "</a:spcBef></a:pPr>" + run + "<a:t>Second</a:t></a:r></a:p>";
    const QStringList places = pdfWordPlaces(pdf(TestSupport::pptxDeck("Liberation Sans", QString(), {}, box), name));
    if (places.size() != 2)
        return -1;
    return places.at(1).section(u'@', 1).toDouble() - places.at(0).section(u'@', 1).toDouble();
}

void TestDeckImport::paragraphSpacing_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("points"); // the same space as 50 % of the line, in points
    QTest::newRow("full size") << QByteArray("<a:bodyPr wrap=\"square\"/>") << QByteArray("2400");
    QTest::newRow("shrunk to half") << QByteArray(
                                           "<a:bodyPr wrap=\"square\"><a:normAutofit fontScale=\"50000\"/></a:bodyPr>")
                                    << QByteArray("1200");
}

// Space before a paragraph given as a share of its line is that share of 1.2 times the text's size, as PowerPoint
// sets it: 50 % of a 40-point line is 24 points, as much as the same space given in points; of text PowerPoint
// shrank to half, 12 points. The office took the share of the size itself (20 points), and of the size before
// shrinking: an old theme's slide of paragraphs crept upwards, and its shrunk text overflowed.
void TestDeckImport::paragraphSpacing() {
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, points);
    const double share = secondParagraphAt(body, "<a:spcPct val=\"50000\"/>", QStringLiteral("share"));
    const double given = secondParagraphAt(body, "<a:spcPts val=\"" + points + "\"/>", QStringLiteral("points"));
    QVERIFY2(share > 20 && given > 20 && std::abs(share - given) < 1.0,
             qPrintable(QStringLiteral("%1 against %2").arg(share).arg(given)));
}

void TestDeckImport::textAsText_data() {
    QTest::addColumn<QByteArray>("run"); // the text run's properties and text
    QTest::addColumn<QString>("text");   // as the EMF holds it, in the order it is read
    QTest::addColumn<bool>("rightToLeft");
    QTest::addColumn<QRgb>("colour"); // what GDI draws it in
    QTest::newRow("Hebrew") << QByteArray("<a:rPr lang=\"he-IL\" sz=\"4000\"><a:cs "
                                          "typeface=\"Arial\"/></a:rPr><a:t>\xd7\xa9\xd7\x9c\xd7\x95\xd7\x9d "
                                          "\xd7\xa2\xd7\x95\xd7\x9c\xd7\x9d</a:t>")
                            << QStringLiteral("\u05e9\u05dc\u05d5\u05dd \u05e2\u05d5\u05dc\u05dd") << true
                            << qRgb(0, 0, 0);
    // In a face Word has with Arabic letters; with the ligature of lam and alef, one glyph for two letters that keep
    // their order.
    QTest::newRow("Arabic") << QByteArray("<a:rPr lang=\"ar-SA\" sz=\"4000\"><a:cs "
                                          "typeface=\"Tahoma\"/></a:rPr><a:t>\xd8\xb3\xd9\x84\xd8\xa7\xd9\x85 "
                                          "\xd8\xaf\xd9\x86\xdb\x8c\xd8\xa7</a:t>")
                            << QStringLiteral("\u0633\u0644\u0627\u0645 \u062f\u0646\u06cc\u0627") << true
                            << qRgb(0, 0, 0);
    // White at half opacity on the green fill: blended with the green, not with black.
    QTest::newRow("translucent") << QByteArray(
                                        "<a:rPr lang=\"en-US\" sz=\"4000\"><a:solidFill><a:srgbClr val=\"FFFFFF\">"
                                        "<a:alpha val=\"50000\"/></a:srgbClr></a:solidFill></a:rPr><a:t>Faded</a:t>")
                                 << QStringLiteral("Faded") << false << qRgb(128, 208, 168);
}

// Right-to-left lines stay text, in the order they are read; translucent text is blended with what lies under it.
void TestDeckImport::textAsText() {
    QFETCH(QByteArray, run);
    QFETCH(QString, text);
    QFETCH(bool, rightToLeft);
    QFETCH(QRgb, colour);
    TestSupport::PptxExtras extras;
    extras.paragraphs =
        "<a:p>" + QByteArray(rightToLeft ? "<a:pPr algn=\"r\" rtl=\"1\"/>" : "") + "<a:r>" + run + "</a:r></a:p>";
    extras.frame = "<a:off x=\"457200\" y=\"457200\"/><a:ext cx=\"8229600\" cy=\"1500000\"/>";
    extras.shapes = "<p:sp><p:nvSpPr><p:cNvPr id=\"3\" name=\"Green\"/><p:cNvSpPr/><p:nvPr/></p:nvSpPr><p:spPr>"
                    "<a:xfrm><a:off x=\"0\" y=\"0\"/><a:ext cx=\"9144000\" cy=\"3000000\"/></a:xfrm><a:prstGeom "
                    "prst=\"rect\"><a:avLst/></a:prstGeom><a:solidFill><a:srgbClr val=\"00A050\"/></a:solidFill>"
                    "</p:spPr></p:sp>";
    // The green shape is drawn after the text shape in the tree: the text goes on top of it in a second shape.
    extras.shapes += "<p:sp><p:nvSpPr><p:cNvPr id=\"4\" name=\"Line\"/><p:cNvSpPr txBox=\"1\"/><p:nvPr/></p:nvSpPr>"
                     "<p:spPr><a:xfrm>" +
                     extras.frame +
                     "</a:xfrm><a:prstGeom prst=\"rect\"><a:avLst/></a:prstGeom>"
                     "</p:spPr><p:txBody><a:bodyPr wrap=\"square\"/>" +
                     extras.paragraphs + "</p:txBody></p:sp>";
    extras.paragraphs = "<a:p><a:endParaRPr lang=\"en-US\"/></a:p>";
    const QString emf = convert(TestSupport::pptxDeck("Liberation Sans", QString(), QByteArray(), extras),
                                QStringLiteral("text-") + QTest::currentDataTag(), QStringLiteral("emf"));
    QVERIFY(!emf.isEmpty());
    QString found;
    QRgb drawnIn = 1, textColour = 1;
    bool flagged = false;
    TestSupport::forEachEmfRecord(TestSupport::readAll(emf), [&](quint32 type, const char *rec, quint32) {
        if (type == 24) // SETTEXTCOLOR
            drawnIn = qRgb(rec[8] & 0xff, rec[9] & 0xff, rec[10] & 0xff);
        if (type != 84 || !found.isEmpty())
            return;
        const auto u32 = [rec](int at) { return qFromLittleEndian<quint32>(rec + at); };
        found = QString::fromUtf16(reinterpret_cast<const char16_t *>(rec + u32(48)), qsizetype(u32(44))).trimmed();
        flagged = u32(52) & 0x80;
        textColour = drawnIn;
    });
    QCOMPARE(found, text);
    QCOMPARE(flagged, rightToLeft);
    QVERIFY2(qAbs(qRed(textColour) - qRed(colour)) <= 3 && qAbs(qGreen(textColour) - qGreen(colour)) <= 3 &&
                 qAbs(qBlue(textColour) - qBlue(colour)) <= 3,
             qPrintable(QString::number(textColour, 16)));
}

QTEST_GUILESS_MAIN(TestDeckImport)
#include "tst_deckimport.moc"
