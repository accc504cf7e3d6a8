#pragma once

#include <com/sun/star/drawing/XDrawPages.hpp>

#include <QList>
#include <QString>

namespace office {

class DeckPackage;

// Text that PowerPoint shrinks to fit its shape: PowerPoint keeps the scale it chose in the deck (a font scale
// and a line spacing reduction), and draws the text at that scale. The office finds a scale of its own, often
// another (or none), so lines break elsewhere. The deck's own scale is put back on the office's shapes.
class OfficeAutofit {
public:
    struct Fit {
        double fontScale = 1.0;      // of every character's height
        double spacingReduction = 0; // taken off proportional line spacing (0.2: 100 % becomes 80 %)
    };
    // Each slide's shrink-to-fit text bodies, in the order of the deck's shapes; empty for a deck that is not
    // Office Open XML.
    static QList<QList<Fit>> FromDeck(const DeckPackage &deck);
    // Gives the office's shrink-to-fit shapes the deck's scale instead of its own: only on slides where the
    // office has as many such shapes as the deck, matched in order. Returns the number of shapes changed.
    static int Apply(const css::uno::Reference<css::drawing::XDrawPages> &pages, const QList<QList<Fit>> &fits);
};

} // namespace office
