// The typefaces a deck names and what it says of each, and a part's XML with fonts renamed: text fonts only, every
// other byte kept.
#include "deck/DeckPackage.h"
#include "deck/DeckTypefaces.h"

#include "TestSupport.h"

#include <QTemporaryDir>
#include <QtTest>

class TestDeckTypefaces : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void renamed_data();
    void renamed();
    void named();
};

void TestDeckTypefaces::renamed_data() {
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("latin, ea and cs")
        << QByteArray("<a:latin typeface=\"Tw Cen MT\" panose=\"020B\"/><a:ea typeface=\"Tw Cen MT\"/>"
                      "<a:cs typeface=\"Other\"/>")
        << QByteArray("<a:latin typeface=\"Liberation Sans\" panose=\"020B\"/><a:ea typeface=\"Liberation Sans\"/>"
                      "<a:cs typeface=\"Other\"/>");
    QTest::newRow("bullets and symbols keep theirs")
        << QByteArray("<a:buFont typeface=\"Tw Cen MT\"/><a:sym typeface=\"Tw Cen MT\"/>")
        << QByteArray("<a:buFont typeface=\"Tw Cen MT\"/><a:sym typeface=\"Tw Cen MT\"/>");
    QTest::newRow("an escaped name") << QByteArray("<a:latin typeface=\"A &amp; B\"/>")
                                     << QByteArray("<a:latin typeface=\"Liberation Serif\"/>");
    QTest::newRow("another prefix, attributes first")
        << QByteArray("<d:latin pitchFamily=\"34\" typeface=\"Tw Cen MT\"/>")
        << QByteArray("<d:latin pitchFamily=\"34\" typeface=\"Liberation Sans\"/>");
    QTest::newRow("a name that only starts alike") << QByteArray("<a:latin typeface=\"Tw Cen MT Condensed\"/>")
                                                   << QByteArray("<a:latin typeface=\"Tw Cen MT Condensed\"/>");
}

void TestDeckTypefaces::renamed() {
    QFETCH(QByteArray, xml);
    QFETCH(QByteArray, expected);
    const QHash<QString, QString> renames{{QStringLiteral("Tw Cen MT"), QStringLiteral("Liberation Sans")},
                                          {QStringLiteral("A & B"), QStringLiteral("Liberation Serif")}};
    QCOMPARE(deck::DeckTypefaces::Renamed(xml, renames), expected);
}

// Each typeface once, in the order first named, with what any of its elements says of it.
void TestDeckTypefaces::named() {
    TestSupport::PptxExtras extras;
    extras.paragraphs = "<a:p><a:pPr><a:buFont typeface=\"Wingdings\" charset=\"2\"/></a:pPr><a:r><a:rPr>"
                        "<a:latin typeface=\"Tw Cen MT\"/></a:rPr><a:t>a</a:t></a:r><a:r><a:rPr><a:latin "
                        "typeface=\"Tw Cen MT\" panose=\"020B0602020104020603\" pitchFamily=\"34\"/><a:ea "
                        "typeface=\"+mn-ea\"/></a:rPr><a:t>b</a:t></a:r></a:p>";
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("deck.pptx"));
    QVERIFY(TestSupport::writeAll(path, TestSupport::pptxDeck(QStringLiteral("Arial"), QString(), {}, extras)));
    const QList<deck::DeckTypefaces::Typeface> faces = deck::DeckTypefaces::Of(deck::DeckPackage(path));
    QStringList names;
    for (const auto &t : faces)
        names << t.name;
    QCOMPARE(names, QStringList({"Wingdings", "Tw Cen MT", "Liberation Sans"}));
    QVERIFY(faces.at(0).bulletOnly);
    QCOMPARE(faces.at(0).charset, 2);
    QVERIFY(!faces.at(1).bulletOnly);
    QCOMPARE(faces.at(1).panose, QByteArray::fromHex("020B0602020104020603"));
    QCOMPARE(faces.at(1).pitchFamily, 34);
    // The theme's fonts are known as such: PowerPoint treats a missing one otherwise than a font only a run names.
    QVERIFY(!faces.at(1).inTheme && faces.at(2).inTheme);
    QCOMPARE(deck::DeckTypefaces::BodyFont(deck::DeckPackage(path)), QStringLiteral("Liberation Sans"));
}

QTEST_GUILESS_MAIN(TestDeckTypefaces)
#include "tst_decktypefaces.moc"
