// The fonts an office is given, made without the office: what a deck carries, decoded, or named with the reason it
// is not used; and the fontconfig file that adds them and the stand-ins to the machine's own configuration.
#include "deck/DeckPackage.h"
#include "fonts/FontSetup.h"

#include "TestSupport.h"

#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

class TestFontSetup : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void deckFonts_data();
    void deckFonts();
    void fontconfigFile();
};

void TestFontSetup::deckFonts_data() {
    QTest::addColumn<QString>("family");
    QTest::addColumn<QByteArray>("font");
    QTest::addColumn<bool>("used");
    QTest::addColumn<QString>("notUsed"); // what the reason names, empty for none
    const QByteArray ttf = TestSupport::renamedFont();
    const QByteArray eot = TestSupport::eotFont(ttf, false);
    QTest::newRow("plain") << "Qxlvwz Sans" << eot << true << "";
    QTest::newRow("obfuscated") << "Qxlvwz Sans" << TestSupport::eotFont(ttf, true) << true << "";
    QTest::newRow("the machine has it") << "DejaVu Sans" << eot << false << "";
    QTest::newRow("noise") << "Qxlvwz Sans" << QByteArray(4000, '\x5a') << false << "Qxlvwz Sans (regular)";
    QTest::newRow("cut short") << "Qxlvwz Sans" << eot.left(eot.size() / 3) << false << "Qxlvwz Sans (regular)";
    QByteArray huge = eot;
    qToLittleEndian<quint32>(0x7fffffff, huge.data() + 4); // font data said to be 2 GB
    QTest::newRow("sizes lie") << "Qxlvwz Sans" << huge << false << "Qxlvwz Sans (regular)";
    QByteArray compressed = eot;
    qToLittleEndian<quint32>(0x4, compressed.data() + 12); // said to be compressed, but it is not
    QTest::newRow("not compressed as said") << "Qxlvwz Sans" << compressed << false << "Qxlvwz Sans (regular)";
}

// A carried font the machine lacks comes out as the TrueType font it was; one that cannot be used is named with
// the reason, and nothing else of the deck depends on it.
void TestFontSetup::deckFonts() {
    QFETCH(QString, family);
    QFETCH(QByteArray, font);
    QFETCH(bool, used);
    QFETCH(QString, notUsed);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("deck.pptx"));
    QVERIFY(TestSupport::writeAll(path, TestSupport::pptxDeck(family, QStringLiteral("Carried"), font)));
    QStringList why;
    const QList<fonts::FontSetup::File> files = fonts::FontSetup::DeckFonts(deck::DeckPackage(path), &why);
    QCOMPARE(files.size(), used ? 1 : 0);
    if (used)
        QCOMPARE(files.first().data, TestSupport::renamedFont());
    QCOMPARE(why.size(), notUsed.isEmpty() ? 0 : 1);
    if (!notUsed.isEmpty())
        QVERIFY2(why.first().startsWith(notUsed + QStringLiteral(": ")), qPrintable(why.first()));
}

void TestFontSetup::fontconfigFile() {
    const QByteArray conf = fonts::FontSetup::FontconfigFile(QStringLiteral("/tmp/a&b/fonts"), QStringLiteral("/c"));
    QVERIFY(conf.contains("<dir>/tmp/a&amp;b/fonts</dir>"));
    QVERIFY(conf.contains("<cachedir>/c</cachedir>"));
    QVERIFY(conf.contains("<include ignore_missing=\"yes\">"));
    // Every stand-in of a font the machine lacks, after the machine's own rules, so that its metric twins still
    // come first; a font the machine has draws itself.
    QVERIFY(!fonts::FontSetup::StandIns().isEmpty());
    for (const fonts::FontSetup::StandIn &s : fonts::FontSetup::StandIns()) {
        // A cell's choices in its order ("Vorlane Mono 55, Inconsolata"), for fontconfig to take the first it has.
        QByteArray alias = "<alias binding=\"same\"><family>" + s.font.toUtf8() + "</family><prefer>";
        for (const QString &choice : s.standIns)
            alias += "<family>" + choice.toUtf8() + "</family>";
        alias += "</prefer></alias>";
        if (fonts::FontSetup::Installed(s.font))
            QVERIFY2(!conf.contains(alias), qPrintable(s.font));
        else
            QVERIFY2(conf.indexOf(alias) > conf.indexOf("<include"), qPrintable(s.font));
    }
}

QTEST_GUILESS_MAIN(TestFontSetup)
#include "tst_fontsetup.moc"
