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
    void copyLeavesTheDeckAlone();
};

void TestDeckCopy::withoutSvg_data() {
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<QByteArray>("expected");
    const QByteArray png = picture(" r:embed=\"rId3\"", QByteArray());
    QTest::newRow("PNG beside the SVG") << picture(" r:embed=\"rId3\"", kSvgExt)
                                        << picture(" r:embed=\"rId3\"", kEmptied);
    QTest::newRow("SVG alone: the SVG itself")
        << picture(QByteArray(), kSvgExt) << picture(" r:embed=\"rId2\"", kEmptied);
    QTest::newRow("no SVG: every byte kept") << png << png;
    QTest::newRow("two pictures, one with an SVG")
        << png + picture(" r:embed=\"rId5\" cstate=\"print\"", kSvgExt)
        << png + picture(" r:embed=\"rId5\" cstate=\"print\"", kEmptied);
    QTest::newRow("another prefix") << QByteArray("<d:blip r:embed=\"rId3\">" + kSvgExt + "</d:blip>")
                                    << QByteArray("<d:blip r:embed=\"rId3\">" + kEmptied + "</d:blip>");
    QTest::newRow("other extensions stay")
        << picture(" r:embed=\"rId3\"", "<a:extLst><a:ext uri=\"{28A0092B}\"><a14:useLocalDpi val=\"0\"/></a:ext>" +
                                             kSvgExt.mid(10))
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

QTEST_GUILESS_MAIN(TestDeckCopy)
#include "tst_deckcopy.moc"
