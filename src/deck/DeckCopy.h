#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPair>
#include <QString>

namespace deck {

class DeckPackage;

// A private copy of a deck for the office to open where the deck as it is would be drawn wrongly and a copy can
// mend it; the deck on disk is never changed. SVG pictures: PowerPoint keeps each SVG picture with a PNG of it
// beside it, for readers that cannot draw the SVG; the office draws many of them as an empty frame, so the copy
// points the office at the PNG. Equations (Office Math): the office's import loses them, so the copy takes the
// picture PowerPoint saved of each (the fallback beside the math in the same shape). Fonts nobody has: the copy names
// the stand-in of their kind instead, which the office would not choose itself (it asks fontconfig, whose first choice
// is one wide sans for every font). Shadows and fill overlays: see WithoutPictureShadows, WithOverlaidFills.
class DeckCopy {
public:
    // Whether the deck has anything a copy would mend; fonts: typefaces to rename (the deck's name to the
    // stand-in's), from fonts::FontClass.
    static bool Needed(const DeckPackage &deck, const QHash<QString, QString> &fonts = {});
    // The mended copy written into dir under the deck's own file name (for a deck that Needed() it), or empty
    // when it cannot be written.
    static QString Make(const DeckPackage &deck, const QString &dir, const QHash<QString, QString> &fonts = {});
    // The part's XML without its references to SVG pictures: each picture falls back on the PNG beside it.
    static QByteArray WithoutSvg(const QByteArray &xml);
    // The part's XML with each alternative whose first choice holds Office Math replaced by its fallback (replaced:
    // how many).
    static QByteArray WithoutMath(const QByteArray &xml, int *replaced = nullptr);
    // The part's XML without the outer shadow of each shape filled with a translucent picture. PowerPoint casts such
    // a shadow as faint as the picture is (a picture at 20 % casts a fifth of it, mostly hidden under the shape);
    // the office casts it whole whatever its alpha, and it shows through the picture: a grey card where PowerPoint
    // shows a white one.
    static QByteArray WithoutPictureShadows(const QByteArray &xml);
    // The part's XML with each shape's fill overlay (a:fillOverlay, an effect the office ignores) made its fill
    // where PowerPoint shows the overlay's colours: blended "over" the fill, or multiplied with a pattern or a tiled
    // texture. A theme's corner triangle of a tiled grey texture shows as its blue gradient, not as grey hatching.
    static QByteArray WithOverlaidFills(const QByteArray &xml);
    // The part's XML with each paragraph's space before and after that is given as a share of its line (spcPct)
    // given as that share of the text's size: PowerPoint's line is 1.2 times the size, the office takes the size
    // itself, and each paragraph of an old theme's 32-point text (20 % before) stood 1.3 points higher than in
    // PowerPoint, a line's worth by the foot of a slide.
    static QByteArray WithLineBasedSpacing(const QByteArray &xml);
    // The slides (numbered from 1 in the deck's order) whose equations the copy draws from PowerPoint's pictures,
    // each with how many.
    static QList<QPair<int, int>> EquationPictures(const DeckPackage &deck);
};

} // namespace deck
