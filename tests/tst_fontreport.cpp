// What a deck's text is drawn with where the machine lacks a font it names, read without the office: the deck's
// own font, the table's stand-in, the stand-in of its kind, the theme's body font (for a font the deck says nothing
// of, as PowerPoint draws it), or fontconfig's choice; fonts the machine has and theme references are not named.
#include "deck/DeckPackage.h"
#include "fonts/FontClass.h"
#include "fonts/FontReport.h"
#include "fonts/FontSetup.h"

#include "TestSupport.h"

#include <QTemporaryDir>
#include <QtTest>

using Entry = fonts::FontReport::Entry;

class TestFontReport : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void whatDrawsEachMissingFont();
};

void TestFontReport::whatDrawsEachMissingFont() {
    QVERIFY(!fonts::FontSetup::Installed(QStringLiteral("Qxlvwz Sans")));
    QVERIFY(!fonts::FontSetup::Installed(QStringLiteral("Segoe UI")));
    QVERIFY(!fonts::FontSetup::Installed(QStringLiteral("Zzqx Grotesk")));
    TestSupport::PptxExtras extras;
    // A run in the carried font, one in a font the table knows, one nobody knows and the deck says nothing of
    // (twice), a bullet in it, a theme reference, and the machine's own DejaVu Sans; the theme's body font DejaVu
    // Serif.
    extras.themeFont = "DejaVu Serif";
    const auto run = [](const char *face, const char *text) {
        return QByteArray("<a:r><a:rPr lang=\"en-US\"><a:latin typeface=\"") + face + "\"/></a:rPr><a:t>" + text +
               "</a:t></a:r>";
    };
    extras.paragraphs = "<a:p><a:pPr><a:buFont typeface=\"Zzqx Grotesk\"/><a:buChar char=\"-\"/></a:pPr>" +
                        run("Qxlvwz Sans", "Carried") + run("Segoe UI", "Table") + run("Zzqx Grotesk", "Unknown") +
                        run("+mj-lt", "Theme") + run("DejaVu Sans", "Installed") + run("Zzqx Grotesk", "Again") +
                        "<a:r><a:rPr><a:latin typeface=\"Zzqx Antiqua\" panose=\"02020603050405020304\"/></a:rPr>"
                        "<a:t>Serif</a:t></a:r><a:r><a:rPr><a:sym typeface=\"Zzqx Dings\" charset=\"2\"/></a:rPr>"
                        "<a:t>Symbol</a:t></a:r>" +
                        run("Calibri", "Twin") + run("Times New Roman", "Twin") +
                        run("Zzqx Grotesk,Sans-Serif", "List") + "</a:p>";
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("deck.pptx"));
    QVERIFY(TestSupport::writeAll(path, TestSupport::pptxDeck(QStringLiteral("Qxlvwz Sans"), QString(),
                                                              TestSupport::eotFont(TestSupport::renamedFont(), false),
                                                              extras)));
    const QList<Entry> report = fonts::FontReport::For(deck::DeckPackage(path));
    const QString matched = fonts::FontReport::Matched(QStringLiteral("Zzqx Dings"));
    QVERIFY(!matched.isEmpty());
    // The bullet's font is named by a run too, so it counts as text; a symbol font nobody has keeps fontconfig's
    // choice (its codes mean nothing in a stand-in).
    const QList<Entry> expected{
        {QStringLiteral("Zzqx Grotesk"), QStringLiteral("DejaVu Serif"),
         QStringLiteral("the deck's body font, as PowerPoint draws it")},
        {QStringLiteral("Qxlvwz Sans"), QStringLiteral("Qxlvwz Sans"), QStringLiteral("the deck's own")},
        {QStringLiteral("Segoe UI"), QStringLiteral("Vorlane Sans SG"), QStringLiteral("width-matched twin")},
        {QStringLiteral("Zzqx Antiqua"), QStringLiteral("Liberation Serif"), QStringLiteral("stand-in of its kind")},
        {QStringLiteral("Zzqx Dings"), matched, QStringLiteral("fontconfig's choice")},
        {QStringLiteral("Calibri"), QStringLiteral("Carlito"), QStringLiteral("the machine's alias")},
        {QStringLiteral("Times New Roman"), QStringLiteral("Liberation Serif"), QStringLiteral("the machine's alias")},
        {QStringLiteral("Zzqx Grotesk,Sans-Serif"), QStringLiteral("Liberation Sans"),
         QStringLiteral("the first of its list")}};
    QCOMPARE(fonts::FontReport::Text(report), fonts::FontReport::Text(expected));
    // The private copy renames only the fonts nothing else covers: never one the machine has a twin of.
    const QHash<QString, QString> renames = fonts::FontClass::Renames(deck::DeckPackage(path));
    QCOMPARE(QStringList(renames.keyBegin(), renames.keyEnd()).size(), 3);
    QVERIFY(renames.contains(QStringLiteral("Zzqx Grotesk")) && renames.contains(QStringLiteral("Zzqx Antiqua")));
    QCOMPARE(renames.value(QStringLiteral("Zzqx Grotesk")), QStringLiteral("DejaVu Serif"));
    // A web page's list of families: its first.
    QCOMPARE(renames.value(QStringLiteral("Zzqx Grotesk,Sans-Serif")), QStringLiteral("Liberation Sans"));
    QVERIFY(fonts::FontReport::For(deck::DeckPackage(dir.filePath(QStringLiteral("missing.pptx")))).isEmpty());
}

QTEST_GUILESS_MAIN(TestFontReport)
#include "tst_fontreport.moc"
