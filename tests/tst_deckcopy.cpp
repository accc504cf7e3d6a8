// The deck's private copy, made without the office: each SVG picture falls back on the PNG PowerPoint saved of it
// (or on the SVG itself where there is none), every other byte of the part kept, the deck on disk untouched.
#include "deck/DeckCopy.h"
#include "deck/DeckPackage.h"

#include "TestSupport.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {
const QByteArray kSvgExt = "<a:extLst><a:ext uri=\"{96DAC541-7B7A-43D3-8B79-37D633B846F1}\"><asvg:svgBlip "
                           "xmlns:asvg=\"http://schemas.microsoft.com/office/drawing/2016/SVG/main\" r:embed=\"rId2\"/>"
                           "</a:ext></a:extLst>";
// What is left of it: the extension, emptied.
const QByteArray kEmptied = "<a:extLst><a:ext uri=\"{96DAC541-7B7A-43D3-8B79-37D633B846F1}\"></a:ext></a:extLst>";

// A picture shape whose blip carries the attributes and the inside given.
QByteArray picture(const QByteArray &blipAttributes, const QByteArray &inside) {
    return "<p:pic><p:nvPicPr><p:cNvPr id=\"3\" name=\"Icon\"/><p:cNvPicPr/><p:nvPr/></p:nvPicPr><p:blipFill><a:blip" +
           blipAttributes + ">" + inside + "</a:blip></p:blipFill><p:spPr/></p:pic>";
}
} // namespace

class TestDeckCopy : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void withoutSvg_data();
    void withoutSvg();
    void withoutMath_data();
    void withoutMath();
    void shadowsByFill_data();
    void shadowsByFill();
    void overlaidFills_data();
    void overlaidFills();
    void lineBasedSpacing_data();
    void lineBasedSpacing();
    void copyLeavesTheDeckAlone();
    void brokenDirectoryYieldsNothing();
};

namespace {
// An alternative as PowerPoint writes one around a shape that holds math: the math first, a picture of it after.
QByteArray alternative(const QByteArray &choice, const QByteArray &fallback) {
    return "<mc:AlternateContent xmlns:mc=\"http://schemas.openxmlformats.org/markup-compatibility/2006\" "
           "xmlns:a14=\"http://schemas.microsoft.com/office/drawing/2010/main\"><mc:Choice Requires=\"a14\">" +
           choice + "</mc:Choice><mc:Fallback xmlns=\"\">" + fallback + "</mc:Fallback></mc:AlternateContent>";
}
const QByteArray kMathShape = "<p:sp><p:txBody><a:p><a14:m><m:oMathPara><m:oMath><m:r><m:t>x</m:t></m:r></m:oMath>"
                              "</m:oMathPara></a14:m></a:p></p:txBody></p:sp>";
const QByteArray kPictureShape = "<p:sp><p:spPr><a:blipFill><a:blip r:embed=\"rId8\"/></a:blipFill></p:spPr></p:sp>";
} // namespace

void TestDeckCopy::withoutMath_data() {
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<int>("replaced"); // as the run reports them
    QTest::newRow("math: the picture") << "<p:spTree>" + alternative(kMathShape, kPictureShape) + "</p:spTree>"
                                       << "<p:spTree>" + kPictureShape + "</p:spTree>" << 1;
    const QByteArray other = alternative("<p:sp><a:p>new</a:p></p:sp>", "<p:sp><a:p>old</a:p></p:sp>");
    QTest::newRow("another alternative stays")
        << other + alternative(kMathShape, kPictureShape) << other + kPictureShape << 1;
    QTest::newRow("a table cell's math: the table's picture")
        << alternative("<p:graphicFrame><a:tbl><a:tc>" + kMathShape + "</a:tc></a:tbl></p:graphicFrame>",
                       "<p:pic>" + kPictureShape + "</p:pic>")
        << "<p:pic>" + kPictureShape + "</p:pic>" << 1;
    QTest::newRow("nested inside the choice")
        << alternative(alternative(kMathShape, kPictureShape), "<p:pic/>") << QByteArray("<p:pic/>") << 1;
    QTest::newRow("no fallback: kept")
        << QByteArray("<mc:AlternateContent><mc:Choice>" + kMathShape + "</mc:Choice></mc:AlternateContent>")
        << QByteArray("<mc:AlternateContent><mc:Choice>" + kMathShape + "</mc:Choice></mc:AlternateContent>") << 0;
}

void TestDeckCopy::withoutMath() {
    QFETCH(QByteArray, xml);
    QFETCH(QByteArray, expected);
    QFETCH(int, replaced);
    int count = -1;
    QCOMPARE(deck::DeckCopy::WithoutMath(xml, &count), expected);
    QCOMPARE(count, replaced);
}

namespace {
// A shape's properties: its fill, a line without fill, and an outer shadow of the given colour.
QByteArray shadowed(const QByteArray &fill, const QByteArray &shadowColour) {
    return "<p:sp><p:spPr><a:xfrm><a:off x=\"0\" y=\"0\"/></a:xfrm><a:prstGeom prst=\"rect\"/>" + fill +
           "<a:ln w=\"6350\"><a:noFill/></a:ln><a:effectLst><a:outerShdw blurRad=\"101600\" dist=\"50800\">" +
           shadowColour + "</a:outerShdw></a:effectLst></p:spPr><p:txBody/></p:sp>";
}
} // namespace

void TestDeckCopy::shadowsByFill_data() {
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<QByteArray>("expected");
    const QByteArray black43 = "<a:srgbClr val=\"000000\"><a:alpha val=\"43137\"/></a:srgbClr>";
    const auto picture = [](const QByteArray &amount) {
        return "<a:blipFill><a:blip r:embed=\"rId13\">" + amount + "</a:blip><a:tile/></a:blipFill>";
    };
    // Colour fills and no fill: the office casts their shadows as PowerPoint does.
    for (const QByteArray &kept : {QByteArray("<a:solidFill><a:srgbClr val=\"FFFFFF\"><a:alpha val=\"50000\"/>"
                                              "</a:srgbClr></a:solidFill>"),
                                   QByteArray("<a:noFill/>"), QByteArray(), picture(QByteArray())})
        QTest::newRow(kept.isEmpty() ? "fill from the style: kept" : kept.left(40).constData())
            << shadowed(kept, black43) << shadowed(kept, black43);
    const QByteArray fifth = shadowed(picture("<a:alphaModFix amt=\"20000\"/>"), black43);
    QByteArray unshadowed = fifth;
    unshadowed.replace("<a:outerShdw blurRad=\"101600\" dist=\"50800\">" + black43 + "</a:outerShdw>", "");
    QTest::newRow("picture at 20 %: no shadow") << fifth << unshadowed;
    const QByteArray opaque = shadowed("<a:noFill/>", black43);
    QTest::newRow("two shapes, one mended") << opaque + fifth << opaque + unshadowed;
    // A properties element opened again inside one (not XML PowerPoint writes): each byte once.
    QTest::newRow("nested properties") << "<p:spPr>" + fifth << "<p:spPr>" + unshadowed;
    QTest::newRow("a tag broken off") << "<p:spPr</p:spPr>" + fifth << "<p:spPr</p:spPr>" + unshadowed;
}

void TestDeckCopy::shadowsByFill() {
    QFETCH(QByteArray, xml);
    QFETCH(QByteArray, expected);
    QCOMPARE(deck::DeckCopy::WithoutPictureShadows(xml), expected);
}

namespace {
// A shape's properties: its fill, a line without fill, and a fill overlay of the given blend (blue).
QByteArray overlaid(const QByteArray &fill, const QByteArray &blend) {
    return "<p:sp><p:spPr><a:prstGeom prst=\"rtTriangle\"/>" + fill +
           "<a:ln><a:noFill/></a:ln><a:effectLst><a:fillOverlay blend=\"" + blend +
           "\"><a:solidFill><a:srgbClr val=\"2E75D6\"/></a:solidFill></a:fillOverlay></a:effectLst></p:spPr></p:sp>";
}
} // namespace

void TestDeckCopy::overlaidFills_data() {
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<QByteArray>("expected");
    const QByteArray blue = "<a:solidFill><a:srgbClr val=\"2E75D6\"/></a:solidFill>";
    const QByteArray mended = "<p:sp><p:spPr><a:prstGeom prst=\"rtTriangle\"/>" + blue +
                              "<a:ln><a:noFill/></a:ln><a:effectLst></a:effectLst></p:spPr></p:sp>";
    const QByteArray tiled = "<a:blipFill><a:blip r:embed=\"rId13\"><a:alphaModFix amt=\"50000\"/></a:blip><a:tile "
                             "sx=\"50000\"/></a:blipFill>";
    const QByteArray pattern = "<a:pattFill prst=\"ltUpDiag\"><a:fgClr><a:srgbClr val=\"C0C0C0\"/></a:fgClr>"
                               "</a:pattFill>";
    QTest::newRow("tiled texture, multiplied") << overlaid(tiled, "mult") << mended;
    QTest::newRow("pattern, multiplied") << overlaid(pattern, "mult") << mended;
    QTest::newRow("colour, drawn over") << overlaid("<a:solidFill><a:srgbClr val=\"DCDCDC\"/></a:solidFill>", "over")
                                        << mended;
    QTest::newRow("no fill: kept") << overlaid("<a:noFill/>", "over") << overlaid("<a:noFill/>", "over");
    // Neither colour alone is what PowerPoint shows: left to the office.
    for (const QByteArray &kept :
         {QByteArray("<a:solidFill><a:srgbClr val=\"DCDCDC\"/></a:solidFill>"),
          QByteArray("<a:blipFill><a:blip r:embed=\"rId13\"/><a:stretch/></a:blipFill>"), QByteArray()})
        QTest::newRow(kept.isEmpty() ? "fill from the style, multiplied" : kept.left(40).constData())
            << overlaid(kept, "mult") << overlaid(kept, "mult");
    QTest::newRow("screen blend: kept") << overlaid(tiled, "screen") << overlaid(tiled, "screen");
    QByteArray unclosed = overlaid(tiled, "mult");
    unclosed.replace("</a:fillOverlay>", "");
    QTest::newRow("overlay never closed: kept") << unclosed << unclosed;
    QByteArray unclosedFill = overlaid(tiled, "mult");
    unclosedFill.replace("</a:solidFill></a:fillOverlay>", "</a:fillOverlay>");
    QTest::newRow("overlay's fill never closed: kept") << unclosedFill << unclosedFill;
}

void TestDeckCopy::overlaidFills() {
    QFETCH(QByteArray, xml);
    QFETCH(QByteArray, expected);
    QCOMPARE(deck::DeckCopy::WithOverlaidFills(xml), expected);
}

void TestDeckCopy::lineBasedSpacing_data() {
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("before and after") << QByteArray(
                                             "<a:lvl1pPr><a:spcBef><a:spcPct val=\"20000\"/></a:spcBef><a:spcAft>"
                                             "<a:spcPct val=\"90000\"/></a:spcAft></a:lvl1pPr>")
                                      << QByteArray(
                                             "<a:lvl1pPr><a:spcBef><a:spcPct val=\"24000\"/></a:spcBef><a:spcAft>"
                                             "<a:spcPct val=\"108000\"/></a:spcAft></a:lvl1pPr>");
    // Line spacing as a share is the office's as PowerPoint's; points and none are the same in both.
    for (const char *kept :
         {"<a:lnSpc><a:spcPct val=\"90000\"/></a:lnSpc>", "<a:spcBef><a:spcPts val=\"1000\"/></a:spcBef>",
          "<a:spcBef><a:spcPct val=\"0\"/></a:spcBef>", "<a:spcBef><a:spcPct val=\"x\"/></a:spcBef>"})
        QTest::newRow(kept) << QByteArray(kept) << QByteArray(kept);
}

void TestDeckCopy::lineBasedSpacing() {
    QFETCH(QByteArray, xml);
    QFETCH(QByteArray, expected);
    QCOMPARE(deck::DeckCopy::WithLineBasedSpacing(xml), expected);
}

void TestDeckCopy::withoutSvg_data() {
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<QByteArray>("expected");
    const QByteArray png = picture(" r:embed=\"rId3\"", QByteArray());
    QTest::newRow("PNG beside the SVG") << picture(" r:embed=\"rId3\"", kSvgExt)
                                        << picture(" r:embed=\"rId3\"", kEmptied);
    QTest::newRow("SVG alone: the SVG itself")
        << picture(QByteArray(), kSvgExt) << picture(" r:embed=\"rId2\"", kEmptied);
    QTest::newRow("no SVG: every byte kept") << png << png;
    QTest::newRow("two pictures, one with an SVG") << png + picture(" r:embed=\"rId5\" cstate=\"print\"", kSvgExt)
                                                   << png + picture(" r:embed=\"rId5\" cstate=\"print\"", kEmptied);
    QTest::newRow("another prefix") << QByteArray("<d:blip r:embed=\"rId3\">" + kSvgExt + "</d:blip>")
                                    << QByteArray("<d:blip r:embed=\"rId3\">" + kEmptied + "</d:blip>");
    QTest::newRow("other extensions stay")
        << picture(" r:embed=\"rId3\"",
                   "<a:extLst><a:ext uri=\"{28A0092B}\"><a14:useLocalDpi val=\"0\"/></a:ext>" + kSvgExt.mid(10))
        << picture(" r:embed=\"rId3\"", "<a:extLst><a:ext uri=\"{28A0092B}\"><a14:useLocalDpi val=\"0\"/></a:ext>"
                                        "<a:ext uri=\"{96DAC541-7B7A-43D3-8B79-37D633B846F1}\"></a:ext></a:extLst>");
}

void TestDeckCopy::withoutSvg() {
    QFETCH(QByteArray, xml);
    QFETCH(QByteArray, expected);
    QCOMPARE(deck::DeckCopy::WithoutSvg(xml), expected);
}

void TestDeckCopy::copyLeavesTheDeckAlone() {
    QTemporaryDir dir;
    TestSupport::PptxExtras extras;
    extras.shapes = picture(" r:embed=\"rId3\"", kSvgExt);
    extras.slideRelationships = {{"image", "../media/image1.svg"}, {"image", "../media/image2.png"}};
    extras.parts = {{QStringLiteral("ppt/media/image1.svg"), "<svg xmlns=\"http://www.w3.org/2000/svg\"/>"},
                    {QStringLiteral("ppt/media/image2.png"), "\x89PNG"}};
    const QByteArray made = TestSupport::pptxDeck(QStringLiteral("Arial"), QStringLiteral("Icon"), {}, extras);
    const QString path = dir.filePath(QStringLiteral("deck.pptx"));
    QVERIFY(TestSupport::writeAll(path, made));
    const deck::DeckPackage package(path);
    QVERIFY(deck::DeckCopy::Needed(package));
    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("copy"))));
    const QString copy = deck::DeckCopy::Make(package, dir.filePath(QStringLiteral("copy")));
    QCOMPARE(copy, dir.filePath(QStringLiteral("copy/deck.pptx")));
    QCOMPARE(TestSupport::readAll(path), made);
    const deck::DeckPackage copied(copy);
    QCOMPARE(copied.Parts(), package.Parts());
    for (const QString &part : package.Parts()) {
        const QByteArray before = package.Read(part), after = copied.Read(part);
        QVERIFY2(before.contains("svgBlip") ? !after.contains("svgBlip") && after.contains("r:embed=\"rId3\"")
                                            : after == before,
                 qPrintable(part));
    }
    QVERIFY(!deck::DeckCopy::Needed(copied));
    QVERIFY(!deck::DeckCopy::Needed(deck::DeckPackage(dir.filePath(QStringLiteral("missing.pptx")))));
}

// A package whose directory breaks off after its first entry is damaged: it yields no part at all (it yielded
// the entries read before the break), so no copy is made of it.
void TestDeckCopy::brokenDirectoryYieldsNothing() {
    QTemporaryDir dir;
    QByteArray made = TestSupport::pptxDeck(QStringLiteral("Arial"), QStringLiteral("Text"));
    const qsizetype first = made.indexOf("PK\x01\x02"), second = made.indexOf("PK\x01\x02", first + 4);
    QVERIFY(first > 0 && second > first);
    made[second + 2] = 'X';
    const QString path = dir.filePath(QStringLiteral("deck.pptx"));
    QVERIFY(TestSupport::writeAll(path, made));
    const deck::DeckPackage package(path);
    QVERIFY(!package.IsOpen());
    QVERIFY(package.Parts().isEmpty());
    QVERIFY(package.Read(QStringLiteral("[Content_Types].xml")).isEmpty());
}

QTEST_GUILESS_MAIN(TestDeckCopy)
#include "tst_deckcopy.moc"
