// The fonts the office draws a deck with: the deck's own where the machine lacks them, stand-ins chosen by width
// for fonts nobody has, and nothing of one deck's fonts in the next deck.
#include "TestSupport.h"
#include "engine/lxOutputOptions.h"
#include "platform/office/DeckPackage.h"
#include "platform/office/OfficeFonts.h"
#include "platform/office/OfficeSession.h"

#include <QFile>
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
QByteArray renamedFont() {
    QByteArray ttf = TestSupport::readAll(QString::fromLatin1(kDejaVu));
    const quint16 tables = ttf.size() > 12 ? qFromBigEndian<quint16>(ttf.constData() + 4) : 0;
    for (int i = 0; i < tables; ++i) {
        const char *entry = ttf.constData() + 12 + 16 * i;
        if (QByteArray(entry, 4) != "name")
            continue;
        const quint32 offset = qFromBigEndian<quint32>(entry + 8), length = qFromBigEndian<quint32>(entry + 12);
        QByteArray name = ttf.mid(offset, length);
        name.replace("DejaVu", "Qxlvwz");
        name.replace(QByteArray("\0D\0e\0j\0a\0V\0u", 12), QByteArray("\0Q\0x\0l\0v\0w\0z", 12));
        ttf.replace(offset, length, name);
    }
    return ttf;
}
} // namespace

class TestDeckFonts : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void packageParts();
    void deckFontUsed_data();
    void deckFontUsed();
    void damagedFontFailsAlone_data();
    void damagedFontFailsAlone();
    void standIn_data();
    void standIn();

private:
    // The fonts the office's PDF of the deck names, subset tags stripped.
    QStringList pdfFonts(const QByteArray &deck, const QString &name);

    QTemporaryDir m_dir;
    std::unique_ptr<office::OfficeSession> m_session;
};

void TestDeckFonts::initTestCase() {
    QVERIFY(m_dir.isValid());
    if (!QFile::exists(QString::fromLatin1(kDejaVu)))
        QSKIP("DejaVu Sans is not installed");
    m_session = std::make_unique<office::OfficeSession>();
}

QStringList TestDeckFonts::pdfFonts(const QByteArray &deck, const QString &name) {
    const QString path = m_dir.filePath(name + QStringLiteral(".pptx"));
    const QString pdf = m_dir.filePath(name + QStringLiteral(".pdf"));
    if (!TestSupport::writeAll(path, deck))
        return {QStringLiteral("cannot write the deck")};
    const int doc = m_session->Open(path);
    m_session->SaveAs(
        doc, pdf,
        TlxOutputOptions::Parse(QStringLiteral("pdf"), QString(), QString(), QStringLiteral("960")).SaveAsCode());
    m_session->Close(doc);
    QProcess p;
    p.start(QStringLiteral("pdffonts"), {pdf});
    p.waitForFinished(60000);
    QStringList fonts;
    for (const QString &line : QString::fromLocal8Bit(p.readAllStandardOutput()).split(u'\n').mid(2))
        if (!line.isEmpty())
            fonts << line.section(u' ', 0, 0).section(u'+', -1);
    return fonts;
}

// The parts the fonts are read from, from a real deck (deflated) and from damaged packages (none, nothing more).
void TestDeckFonts::packageParts() {
    const office::DeckPackage real(TestSupport::corpusDir() + QStringLiteral("/test_slides.pptx"));
    QVERIFY(real.IsOpen());
    QVERIFY(real.Read(QStringLiteral("ppt/presentation.xml")).contains("sldIdLst"));
    QVERIFY(real.Read(QStringLiteral("ppt/presentation.xml"), 16).isEmpty()); // over the limit asked
    QVERIFY(real.Read(QStringLiteral("no/such/part")).isEmpty());

    const QByteArray made = TestSupport::pptxDeck(QStringLiteral("Arial"), QStringLiteral("x"));
    for (qsizetype cut : {made.size() - 10, made.size() / 2, qsizetype(30)}) {
        const QString path = m_dir.filePath(QStringLiteral("cut.pptx"));
        QVERIFY(TestSupport::writeAll(path, made.left(cut)));
        const office::DeckPackage damaged(path);
        QVERIFY(!damaged.IsOpen());
        QVERIFY(damaged.Read(QStringLiteral("ppt/presentation.xml")).isEmpty());
    }
}

void TestDeckFonts::deckFontUsed_data() {
    QTest::addColumn<bool>("obfuscated");
    QTest::newRow("plain") << false;
    QTest::newRow("obfuscated") << true;
}

// A deck's own font draws its text; the next deck asking for the same family without carrying it does not get
// it (each office sees only the fonts of the deck it was started for).
void TestDeckFonts::deckFontUsed() {
    QFETCH(bool, obfuscated);
    const QString family = QStringLiteral("Qxlvwz Sans");
    QVERIFY(!office::OfficeFonts::Installed(family));
    const QByteArray font = TestSupport::eotFont(renamedFont(), obfuscated);
    const QStringList carried = pdfFonts(TestSupport::pptxDeck(family, QStringLiteral("Carried"), font), "carried");
    QVERIFY2(carried.contains(QStringLiteral("QxlvwzSans")), qPrintable(carried.join(u',')));
    const QStringList next = pdfFonts(TestSupport::pptxDeck(family, QStringLiteral("Asked only")), "asked");
    QVERIFY2(!next.isEmpty() && !next.contains(QStringLiteral("QxlvwzSans")), qPrintable(next.join(u',')));
}

void TestDeckFonts::damagedFontFailsAlone_data() {
    QTest::addColumn<QByteArray>("font");
    const QByteArray eot = TestSupport::eotFont(renamedFont(), false);
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
void TestDeckFonts::damagedFontFailsAlone() {
    QFETCH(QByteArray, font);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("Qxlvwz Sans \\(regular\\).*not used")));
    const QStringList fonts =
        pdfFonts(TestSupport::pptxDeck(QStringLiteral("Qxlvwz Sans"), QStringLiteral("Damaged"), font), "damaged");
    QVERIFY2(!fonts.isEmpty() && !fonts.contains(QStringLiteral("QxlvwzSans")), qPrintable(fonts.join(u',')));
}

void TestDeckFonts::standIn_data() {
    QTest::addColumn<QString>("asked");
    QTest::addColumn<QString>("drawn");
    QTest::newRow("Century Gothic") << "Century Gothic"
                                    << "URWGothic";
    QTest::newRow("Segoe UI") << "Segoe UI"
                              << "NotoSansDisplay";
    QTest::newRow("Aptos") << "Aptos"
                           << "Cantarell";
    QTest::newRow("Consolas") << "Consolas"
                              << "Inconsolata";
}

// A font nobody has is drawn with the stand-in of the table, not with whatever fontconfig would pick.
void TestDeckFonts::standIn() {
    QFETCH(QString, asked);
    QFETCH(QString, drawn);
    const QStringList fonts = pdfFonts(TestSupport::pptxDeck(asked, QStringLiteral("Stand-in")), "standin");
    QVERIFY2(std::any_of(fonts.begin(), fonts.end(), [&](const QString &f) { return f.startsWith(drawn); }),
             qPrintable(fonts.join(u',')));
}

QTEST_GUILESS_MAIN(TestDeckFonts)
#include "tst_deckfonts.moc"
