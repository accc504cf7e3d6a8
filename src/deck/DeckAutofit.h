#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace deck {

class DeckPackage;

// Text that PowerPoint shrinks to fit its shape, as the deck keeps it: PowerPoint saves the scale it chose (a font
// scale and a line spacing reduction) and draws the text at that scale; a text body without one was drawn at full
// size.
class DeckAutofit {
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
};

} // namespace deck
