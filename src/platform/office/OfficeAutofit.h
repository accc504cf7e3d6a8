#pragma once

#include <com/sun/star/drawing/XDrawPages.hpp>

#include <QList>
#include <QString>

namespace office {

class DeckPackage;

// Text that PowerPoint shrinks to fit its shape. PowerPoint keeps the scale it chose in the deck (a font scale and
// a line spacing reduction) and draws the text at that scale; the office finds a scale of its own, often another
// (or none), so lines break elsewhere. Where the deck saved a scale and the text fits its shape at it in the
// office's fonts, the office draws it at that scale. Everywhere else the office's own fitting stays: a deck that
// saved no scale had its text at full size in PowerPoint's fonts, and the machine's may need less; text that still
// overflows at PowerPoint's scale would spill out of its shape (off the slide, for a title anchored at its bottom).
class OfficeAutofit {
public:
    struct Fit {
        QString shape;               // the shape's name in the deck, as the office names it too
        int ordinal = 0;             // among the slide's shapes of that name, in the deck's order
        double fontScale = 1.0;      // of every character's height
        double spacingReduction = 0; // taken off proportional line spacing (0.2: 100 % becomes 80 %)
        bool saved = false;          // PowerPoint saved a scale; without one it drew the text at full size
    };
    // Each slide's shrink-to-fit text bodies, in the order of the deck's shapes; empty for a deck that is not
    // Office Open XML.
    static QList<QList<Fit>> FromDeck(const DeckPackage &deck);
    // One slide's shrink-to-fit text bodies, from the slide's part; empty for a part that is not well formed.
    static QList<Fit> FromSlide(const QByteArray &slide);
    // Puts each deck's shrink-to-fit text on the office's shape of the same name and ordinal: the deck's scale
    // where the text fits at it, the office's own fitting otherwise. Returns the number of shapes drawn at the
    // deck's scale.
    static int Apply(const css::uno::Reference<css::drawing::XDrawPages> &pages, const QList<QList<Fit>> &fits);
};

} // namespace office
