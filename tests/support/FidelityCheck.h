#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Measures how closely an EMF slide looks like the office's own picture of the same slide, with renderers that
// owe nothing to the office's export: Inkscape draws the EMF, ImageMagick compares. Both pictures are brought to
// 320 pixels wide, grey and slightly blurred, so that anti-aliasing and font hinting do not count; the score is
// ImageMagick's normalised root-mean-square error (0 the same, 1 the opposite).
class FidelityCheck {
public:
    // Whether inkscape, convert, compare and montage are there; otherwise why not.
    static QString MissingTools();

    // Draws each EMF to a PNG of the given width beside it (deck-2.emf gives deck-2.png), in one Inkscape run.
    static bool Render(const QStringList &emfs, int width, QString *error);

    // The score of picture against reference, or a negative number when they cannot be compared.
    static double Score(const QString &picture, const QString &reference, QString *error = nullptr);

    // One picture of pairs side by side (reference left), each labelled.
    struct Pair {
        QString reference, picture, label;
    };
    static bool Montage(const QList<Pair> &pairs, const QString &out, QString *error);

    // The threshold under which a slide counts as drawn as the office shows it.
    static constexpr double kGood = 0.08;
};
