#pragma once

#include <QString>

#include <vector>

// Which way a run of characters reads, and its right-to-left runs put back in the order they were written. A PDF
// draws right-to-left text (Hebrew, Arabic, Persian) glyph by glyph from the left, so its characters come in the
// order they are seen; text in an EMF is kept in the order it is read, the reader ordering and shaping it again,
// so that it can be edited.
class TextFlow {
public:
    enum Way { Neutral, LeftToRight, RightToLeft };

    // The way of a glyph's characters: right to left for a Hebrew or Arabic letter, neutral for spaces and the
    // marks that read alike both ways, left to right for everything else (digits too, Arabic ones as well: a
    // number reads from the left inside right-to-left text).
    static Way Of(const QString &chars);
    // A run seen from the left made into the order it is read: its glyphs reversed, each glyph's characters (a
    // ligature's, as "لا") kept in their order, and their advances with them. starts: where each glyph's
    // characters begin in text.
    static void ToReadingOrder(QString *text, std::vector<double> *advances, const std::vector<qsizetype> &starts);
    // True where Word and PowerPoint on any Windows have the face with Hebrew and Arabic letters, so that they
    // draw a right-to-left run in it as the slide has it. Other faces (a deck's own, the office's stand-ins) would
    // be drawn in another font, as wide as it is, without the spacing that right-to-left runs go without: such
    // runs are drawn as the PDF has them.
    static bool ReadersHave(const QString &face);
    // Arabic letters in the shapes of their place in a word (presentation forms, as some PDFs map their glyphs)
    // as the letters themselves, which readers shape again.
    static QString Unshaped(const QString &text);
};
