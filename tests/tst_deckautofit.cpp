// The shrink-to-fit text a deck keeps, read without the office: which shapes, under which names, and at which
// scale PowerPoint drew them.
#include "TestSupport.h"
#include "deck/DeckAutofit.h"
#include "deck/DeckPackage.h"

#include <QTemporaryDir>
#include <QTest>

namespace {
// A slide part of the given shape tree.
QByteArray slide(const QByteArray &shapes) {
    return "<p:sld xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" "
           "xmlns:p=\"http://schemas.openxmlformats.org/presentationml/2006/main\"><p:cSld><p:spTree>" +
           shapes + "</p:spTree></p:cSld></p:sld>";
}

QByteArray shape(const char *name, const QByteArray &autofit) {
    return QByteArray("<p:sp><p:nvSpPr><p:cNvPr id=\"2\" name=\"") + name +
           "\"/><p:cNvSpPr/><p:nvPr/></p:nvSpPr><p:spPr/><p:txBody><a:bodyPr>" + autofit +
           "</a:bodyPr><a:p><a:r><a:t>x</a:t></a:r></a:p></p:txBody></p:sp>";
}

// Each fit as "name#ordinal scale/reduction" with "saved" or "bare".
QStringList described(const QList<deck::DeckAutofit::Fit> &fits) {
    QStringList out;
    for (const deck::DeckAutofit::Fit &f : fits)
        out << QStringLiteral("%1#%2 %3/%4 %5")
                   .arg(f.shape)
                   .arg(f.ordinal)
                   .arg(f.fontScale)
                   .arg(f.spacingReduction)
                   .arg(f.saved ? "saved" : "bare");
    return out;
}
} // namespace

class TestDeckAutofit : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void fromSlide_data();
    void fromSlide();
    void fromDeck();
    void shareSpacing_data();
    void shareSpacing();
};

void TestDeckAutofit::fromSlide_data() {
    QTest::addColumn<QByteArray>("part");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("saved scale") << slide(shape("Title 1",
                                                "<a:normAutofit fontScale=\"62500\" lnSpcReduction=\"20000\"/>"))
                                 << QStringList{"Title 1#0 0.625/0.2 saved"};
    QTest::newRow("no scale saved") << slide(shape("Title 1", "<a:normAutofit/>")) << QStringList{"Title 1#0 1/0 bare"};
    QTest::newRow("reduction alone") << slide(shape("Body", "<a:normAutofit lnSpcReduction=\"10000\"/>"))
                                     << QStringList{"Body#0 1/0.1 saved"};
    // Shapes of one name told apart by their order; a shape without autofit still counts in it.
    QTest::newRow("same names") << slide(shape("Text", "<a:normAutofit fontScale=\"90000\"/>") + shape("Text", "") +
                                         shape("Text", "<a:normAutofit/>"))
                                << QStringList{"Text#0 0.9/0 saved", "Text#2 1/0 bare"};
    // Inside a group: the group's own name counts as a shape of that name too, as the office names groups.
    QTest::newRow("group") << slide("<p:grpSp><p:nvGrpSpPr><p:cNvPr id=\"5\" name=\"Group\"/></p:nvGrpSpPr>" +
                                    shape("Inner", "<a:normAutofit fontScale=\"50000\"/>") + "</p:grpSp>")
                           << QStringList{"Inner#0 0.5/0 saved"};
    // Values outside what PowerPoint writes are held to what can be drawn.
    QTest::newRow("out of range") << slide(shape("A", "<a:normAutofit fontScale=\"250000\" lnSpcReduction=\"-5\"/>") +
                                           shape("B", "<a:normAutofit fontScale=\"0\"/>"))
                                  << QStringList{"A#0 1/0 saved", "B#0 0.01/0 saved"};
    QTest::newRow("shape autofit is no shrinking") << slide(shape("A", "<a:spAutoFit/>")) << QStringList();
    QTest::newRow("not well formed") << slide(shape("A", "<a:normAutofit fontScale=\"50000\"/>")).left(300)
                                     << QStringList();
    QTest::newRow("empty") << QByteArray() << QStringList();
}

void TestDeckAutofit::fromSlide() {
    QFETCH(QByteArray, part);
    QFETCH(QStringList, expected);
    QCOMPARE(described(deck::DeckAutofit::FromSlide(part)), expected);
}

// A whole deck: one list a slide, in the presentation's order; nothing for a file that is not a package.
void TestDeckAutofit::fromDeck() {
    QTemporaryDir dir;
    TestSupport::PptxExtras extras;
    extras.bodyProperties = "<a:bodyPr><a:normAutofit fontScale=\"75000\"/></a:bodyPr>";
    const QString path = dir.filePath(QStringLiteral("made.pptx"));
    QVERIFY(TestSupport::writeAll(
        path, TestSupport::pptxDeck(QStringLiteral("Arial"), QStringLiteral("x"), QByteArray(), extras)));
    const QList<QList<deck::DeckAutofit::Fit>> fits = deck::DeckAutofit::FromDeck(deck::DeckPackage(path));
    QCOMPARE(fits.size(), 1);
    QCOMPARE(described(fits.first()), QStringList{"Text#0 0.75/0 saved"});

    const QString notZip = dir.filePath(QStringLiteral("plain.ppt"));
    QVERIFY(TestSupport::writeAll(notZip, QByteArray("\xd0\xcf\x11\xe0 not a zip", 14)));
    QVERIFY(deck::DeckAutofit::FromDeck(deck::DeckPackage(notZip)).isEmpty());
}

namespace {
// A master whose body text spaces its first level by a share of the line, its second in points; its titles by none.
const QByteArray kMaster =
    "<p:sldMaster xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" "
    "xmlns:p=\"http://schemas.openxmlformats.org/presentationml/2006/main\"><p:txStyles><p:titleStyle><a:lvl1pPr>"
    "<a:spcBef><a:spcPct val=\"0\"/></a:spcBef></a:lvl1pPr></p:titleStyle><p:bodyStyle><a:lvl1pPr><a:lnSpc>"
    "<a:spcPct val=\"90000\"/></a:lnSpc><a:spcBef><a:spcPct val=\"20000\"/></a:spcBef></a:lvl1pPr><a:lvl2pPr>"
    "<a:spcBef><a:spcPts val=\"1000\"/></a:spcBef></a:lvl2pPr></p:bodyStyle></p:txStyles></p:sldMaster>";

QByteArray placeholder(const QByteArray &ph, const QByteArray &paragraphs) {
    return "<p:sp><p:nvSpPr><p:cNvPr id=\"2\" name=\"P\"/><p:cNvSpPr/><p:nvPr>" + ph +
           "</p:nvPr></p:nvSpPr><p:spPr/><p:txBody><a:bodyPr><a:normAutofit fontScale=\"50000\"/></a:bodyPr>"
           "<a:lstStyle><a:lvl1pPr><a:spcBef><a:spcPts val=\"0\"/></a:spcBef></a:lvl1pPr></a:lstStyle>" +
           paragraphs + "</p:txBody></p:sp>";
}
} // namespace

void TestDeckAutofit::shareSpacing_data() {
    QTest::addColumn<QByteArray>("shape");
    QTest::addColumn<QString>("expected"); // each paragraph's bits: 1 before, 2 after as a share of the line
    const QByteArray plain = "<a:p><a:r><a:t>x</a:t></a:r></a:p>";
    const QByteArray body = "<p:ph idx=\"1\"/>";
    QTest::newRow("from the master, by level")
        << placeholder(body, plain + "<a:p><a:pPr lvl=\"1\"/><a:r><a:t>x</a:t></a:r></a:p>") << "1 0";
    QTest::newRow("the paragraph's own")
        << placeholder(body, "<a:p><a:pPr><a:spcBef><a:spcPts val=\"600\"/></a:spcBef></a:pPr></a:p><a:p><a:pPr>"
                             "<a:spcAft><a:spcPct val=\"10000\"/></a:spcAft></a:pPr></a:p>")
        << "0 3";
    QTest::newRow("title") << placeholder("<p:ph type=\"title\"/>", plain) << "0";
    QTest::newRow("no placeholder") << placeholder(QByteArray(), plain) << "0";
}

// Which paragraphs of shrink-to-fit text are spaced by a share of their line: that space shrinks with the text.
void TestDeckAutofit::shareSpacing() {
    QFETCH(QByteArray, shape);
    QFETCH(QString, expected);
    const QList<deck::DeckAutofit::Fit> fits =
        deck::DeckAutofit::FromSlide(slide(shape), deck::DeckAutofit::StylesOf(kMaster));
    QCOMPARE(fits.size(), 1);
    QStringList bits;
    for (const quint8 b : fits.first().shareSpacing)
        bits << QString::number(b);
    QCOMPARE(bits.join(u' '), expected);
}

QTEST_GUILESS_MAIN(TestDeckAutofit)
#include "tst_deckautofit.moc"
