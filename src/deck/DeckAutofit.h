#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <array>

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
        // For each paragraph, in order: whether its space before (bit 1) and after (bit 2) is a share of its line,
        // which PowerPoint takes of the scaled text's line, as it takes points as they are.
        QList<quint8> shareSpacing;
    };
    // For each level (0 to 8) of a master's title and body text, whether it spaces paragraphs by a share of their
    // line (bits as above): what a placeholder's paragraph says nothing of itself it takes from there.
    struct Styles {
        std::array<quint8, 9> title{}, body{};
    };
    static Styles StylesOf(const QByteArray &master);
    // Each slide's shrink-to-fit text bodies, in the order of the deck's shapes; empty for a deck that is not
    // Office Open XML.
    static QList<QList<Fit>> FromDeck(const DeckPackage &deck);
    // One slide's shrink-to-fit text bodies, from the slide's part; empty for a part that is not well formed.
    static QList<Fit> FromSlide(const QByteArray &slide, const Styles &styles);
    static QList<Fit> FromSlide(const QByteArray &slide) { return FromSlide(slide, Styles()); }
};

} // namespace deck
