#pragma once

#include <QList>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

// Measures how closely an EMF slide looks like the office's own picture of the same slide, with two judges that
// draw the EMF: Inkscape, which owes nothing to the office, and the office's own EMF import. Each has gaps of its
// own (Inkscape draws no tiled bitmap brush and no alpha-blended picture; the office's import misses some
// right-to-left and EMF+ text), so a slide counts as faithful when the closer of the two is within kGood; where
// both draw the same wrong thing, the EMF is wrong. ImageMagick compares: both pictures are brought to 320
// pixels wide, grey and slightly blurred, so that anti-aliasing and font hinting do not count; the score is
// ImageMagick's normalised root-mean-square error (0 the same, 1 the opposite).
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

    // The score of picture against reference, or a negative number when they cannot be compared.
    static double Score(const QString &picture, const QString &reference, QString *error = nullptr);

    // One picture of pairs side by side (reference left), each labelled.
    struct Pair {
        QString reference, picture, label;
        QString imported; // the office's import of the EMF, when there is one: a third column
    };
    static bool Montage(const QList<Pair> &pairs, const QString &out, QString *error);

    // The threshold under which a slide counts as drawn as the office shows it.
    static constexpr double kGood = 0.08;
};
