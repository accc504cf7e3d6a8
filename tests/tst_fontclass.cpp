// The stand-in of a font nobody has, by what the deck says of it: PANOSE first, then its pitch and family, then its
// name; a symbol font has none (its codes mean nothing in another font).
#include "fonts/FontClass.h"

#include <QtTest>

using Typeface = deck::DeckTypefaces::Typeface;
Q_DECLARE_METATYPE(fonts::FontClass::Kind)

class TestFontClass : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void kindOf_data();
    void kindOf();
};

void TestFontClass::kindOf_data() {
    using K = fonts::FontClass;
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("panose"); // hex, as the deck writes it
    QTest::addColumn<int>("pitchFamily");
    QTest::addColumn<int>("charset");
    QTest::addColumn<fonts::FontClass::Kind>("kind");
    QTest::newRow("Tw Cen MT: sans by PANOSE") << "Tw Cen MT" << "020B0602020104020603" << 34 << 0 << K::Sans;
    QTest::newRow("Rockwell: serif by PANOSE") << "Rockwell" << "02060603020205020403" << 18 << 0 << K::Serif;
    QTest::newRow("condensed sans") << "Zz Cond" << "020B0606020202030204" << 34 << 0 << K::SansNarrow;
    QTest::newRow("named condensed: narrow") << "Rockwell Condensed" << "02060603050405020104" << 18 << 0
                                              << K::SansNarrow;
    QTest::newRow("monospaced by PANOSE") << "Zz Typewriter" << "02070309020205020404" << 49 << 0 << K::Mono;
    QTest::newRow("script by PANOSE") << "Zz Brush" << "03060802040406070304" << 66 << 0 << K::Script;
    QTest::newRow("symbol by PANOSE") << "Zz Dings" << "05000000000000000000" << 2 << 0 << K::Symbol;
    QTest::newRow("symbol by charset") << "Zz Pi" << "" << -1 << 2 << K::Symbol;
    QTest::newRow("all-zero PANOSE: pitch and family, roman") << "Zz Old" << "00000000000000000000" << 18 << 0
                                                               << K::Serif;
    QTest::newRow("fixed pitch") << "Zz Term" << "" << 49 << 0 << K::Mono;
    QTest::newRow("nothing said: by name, mono") << "Zz Code Pro" << "" << -1 << -1 << K::Mono;
    QTest::newRow("nothing said: by name, serif") << "Zz Serif" << "" << -1 << -1 << K::Serif;
    QTest::newRow("nothing said: sans") << "Zz Grotesk" << "" << -1 << -1 << K::Sans;
    QTest::newRow("a word inside another is not it") << "Lucida Sans Unicode" << "" << -1 << -1 << K::Sans;
}

void TestFontClass::kindOf() {
    QFETCH(QString, name);
    QFETCH(QString, panose);
    QFETCH(int, pitchFamily);
    QFETCH(int, charset);
    QFETCH(fonts::FontClass::Kind, kind);
    const Typeface t{name, QByteArray::fromHex(panose.toLatin1()), pitchFamily, charset, false};
    QCOMPARE(fonts::FontClass::KindOf(t), kind);
    QCOMPARE(fonts::FontClass::StandIn(kind).isEmpty(), kind == fonts::FontClass::Symbol);
}

QTEST_GUILESS_MAIN(TestFontClass)
#include "tst_fontclass.moc"
