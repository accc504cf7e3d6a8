#pragma once

#include <QList>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

// Measures how closely an EMF slide looks like the office's own picture of the same slide, with three judges
// that draw the EMF: Inkscape, which owes nothing to the office; the office's own EMF import; and Windows' own
// players, GDI's PlayEnhMetaFile and GDI+, as Word and PowerPoint draw an EMF, run under Wine. Each has gaps of
// its own: Inkscape draws no tiled bitmap brush and no alpha-blended picture; the office's import misses some
// right-to-left and EMF+ text and draws some transparent fills opaque; Wine has none of Windows' fonts (it is
// given the office's metric twins under their names, so the rest of a font Windows has comes out in whatever Wine
// falls back to, and characters missing from it as boxes where Windows would link in another font), its GDI+
// draws plain GDI records of a file without EMF+ as GDI does, not smoothed, and Wine 8 has two faults of its own
// that the player makes up for (extended pens, EMF+ objects in parts; see emfplay.c). A slide counts as faithful
// when the closest judge is within kGood; where all draw the same wrong thing, the EMF is wrong. GDI is also the
// strictest reader: a file it will not open, Windows will not show, and it draws text the way Word will (at the
// advances the record gives, and right-to-left characters put in reading order by GDI itself unless the record
// says they already are).
// ImageMagick compares: both pictures are brought to 320 pixels wide, grey and slightly blurred, so that
// anti-aliasing and font hinting do not count; the score is ImageMagick's normalised root-mean-square error (0 the
// same, 1 the opposite).
class FidelityCheck {
public:
    // Whether inkscape, convert, compare and montage are there; otherwise why not.
    static QString MissingTools();

    // Draws each EMF to a PNG of the given width beside it (deck-2.emf gives deck-2.png), in one Inkscape run.
    static bool Render(const QStringList &emfs, int width, QString *error);

    // Draws each EMF with the office's own import to a PNG beside it (deck-2.emf gives deck-2.import.png): the
    // office places an EMF on an A4 portrait page, centred, at its own size or scaled down to 19 cm wide; that
    // rectangle is cut out. One office run a folder, with a profile of its own.
    static bool RenderWithOffice(const QStringList &emfs, QString *error);
    // Where the office's import puts an EMF of this frame (hundredths of a millimetre) on a page picture of the
    // given width: the rectangle in the picture's pixels.
    static QRect PlaceOnA4(QSize frame, int pageWidthPixels);

    // Empty when Windows' players can draw here (the player was built with mingw-w64 and Wine is installed);
    // otherwise why not.
    static QString MissingGdi();
    // Draws each EMF with GDI's player (or, with gdiplus, through GDI+) to a PNG of the given width beside it
    // (deck-2.emf gives deck-2.gdi.png or deck-2.gdiplus.png), height from the EMF's frame, on white. One Wine
    // start for all; a file the player cannot draw, or that crashes or hangs it, leaves no picture, is named in the
    // error and stops none of the others. False when some file has no picture.
    static bool RenderWithGdi(const QStringList &emfs, int width, bool gdiplus, QString *error);
    // The picture RenderWithGdi draws for an EMF.
    static QString GdiPicture(const QString &emf, bool gdiplus);

    // The score of picture against reference, or a negative number when they cannot be compared.
    static double Score(const QString &picture, const QString &reference, QString *error = nullptr);

    // One picture of pairs side by side (reference left), each labelled; a column is there when the first pair
    // names its picture, and a named picture that is missing leaves a blank.
    struct Pair {
        QString reference, picture, label;
        QString imported; // the office's import of the EMF, when there is one: a third column
        QString gdi;      // Windows' GDI drawing of the EMF, when there is one: a column after it
    };
    // captions, when given, name the columns in their order (" (PowerPoint)", ...) instead of the judges.
    static bool Montage(const QList<Pair> &pairs, const QString &out, QString *error, const QStringList &captions = {});

    // The threshold under which a slide counts as drawn as the office shows it.
    static constexpr double kGood = 0.08;
};
