#pragma once

#include <functional>

#include <QByteArray>
#include <QColor>
#include <QSize>
#include <QList>
#include <QPair>
#include <QSize>
#include <QString>

// Small helpers shared by the tests.
namespace TestSupport {

// The folder of real presentations used by integration tests: the repository's tests/data/decks, or the folder
// named by the environment variable VORLANE_CORPUS_DIR.
QString corpusDir();

// Empty when the corpus's manifest and every deck it lists are there; otherwise a message naming the first file
// missing. Tests check it before they use a deck, so that missing data fails them instead of crashing them.
QString corpusProblem();

// A presentation of the corpus with its slide count.
struct CorpusDeck {
    QString path;
    int slides = 0;
};
// The corpus decks whose manifest entry expects this outcome ("convert" or "fail").
QList<CorpusDeck> corpusDecks(const QString &expect);

// The file of slide k of an output: slide 1 at the path itself, slide k as the path with "-k" before its extension.
QString slidePath(const QString &path, int k);

// Reads a whole file as bytes; empty when it cannot be read.
QByteArray readAll(const QString &path);

// Writes bytes to a file, creating its folder; returns false on failure.
bool writeAll(const QString &path, const QByteArray &data);
// Removes a folder and all it holds by the names' bytes (QDir leaves names that are not UTF-8 behind).
void removeAll(const QString &path);

// The start of a presentation as one flat OpenDocument file (.fodp): the declaration and the document element
// with the namespaces a deck made by a test uses.
QByteArray flatDeckStart();

// A presentation (flat OpenDocument, .fodp) of the given number of slides on one master whose background is a
// photo-like picture of the given size (noise: no compression shrinks it), with a coloured bar, a logo disc and a
// page-number field; each slide has a title of its own.
QByteArray photoDeck(int slides, QSize picture);

} // namespace TestSupport

namespace TestSupport {

// Calls visit with each record of an EMF (its type, its bytes from the type on, its size), up to the first record
// whose size does not hold.
void forEachEmfRecord(const QByteArray &emf, const std::function<void(quint32, const char *, quint32)> &visit);

// A zip file of the given parts (name, bytes), stored uncompressed.
QByteArray zipStored(const QList<QPair<QString, QByteArray>> &parts);

// What a made deck has beyond its text: the text body's properties, its paragraphs in place of the one line, the
// text shape's place on the slide (a:off and a:ext) and what it is (p:nvPr, a text box unless it names a
// placeholder), more shapes, the slide's further relationships (type and target, numbered rId2, rId3, ...) and the
// parts they point to.
struct PptxExtras {
    QByteArray bodyProperties = "<a:bodyPr wrap=\"square\"/>";
    QByteArray paragraphs;
    QByteArray frame = "<a:off x=\"457200\" y=\"457200\"/><a:ext cx=\"8229600\" cy=\"1500000\"/>";
    QByteArray placeholder;
    QByteArray shapes;
    QList<QPair<QByteArray, QByteArray>> slideRelationships;
    QList<QPair<QString, QByteArray>> parts;
    QByteArray themeFont = "Liberation Sans"; // the theme's heading and body font
};

// A one-slide PowerPoint deck (.pptx) whose slide has one line of text in the given typeface; with font data, the
// deck carries it (ppt/fonts/font1.fntdata) as that typeface's regular face, as PowerPoint embeds fonts.
QByteArray pptxDeck(const QString &typeface, const QString &text, const QByteArray &fontData = QByteArray(),
                    const PptxExtras &extras = PptxExtras());

// A PNG picture of the given size filled with one colour.
QByteArray png(QSize size, QColor colour = Qt::white);

// DejaVu Sans under the family name "Qxlvwz Sans", which no machine has: a font only a deck can bring.
QByteArray renamedFont();

// The font as Embedded OpenType, uncompressed; obfuscated (XOR with 0x50) when asked, as PowerPoint may keep it.
QByteArray eotFont(const QByteArray &ttf, bool obfuscated);

} // namespace TestSupport
