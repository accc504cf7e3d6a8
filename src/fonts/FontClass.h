#pragma once

#include "deck/DeckTypefaces.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

namespace deck {
class DeckPackage;
}

namespace fonts {

// A stand-in for a font that neither the machine, nor the deck, nor the stand-ins table has: chosen from what the
// deck says of the font (its PANOSE numbers: serif or sans, proportion; its pitch and family), else from its name,
// among a fixed few installed faces, one of each kind. Fixed, so that the office is given them through the deck's
// private copy and never restarted for them; fontconfig alone would give every such font the same wide sans.
class FontClass {
public:
    enum Kind { Sans, SansNarrow, Serif, Mono, Script, Symbol };
    static Kind KindOf(const deck::DeckTypefaces::Typeface &typeface);
    // The installed face that stands in for a kind; empty for a symbol font, whose codes mean nothing in another.
    static QString StandIn(Kind kind);
    // For each typeface of the deck's text that nothing else covers, its stand-in (the deck's name to it). A font
    // the deck says nothing of (no PANOSE, no pitch and family), named outside the theme, PowerPoint draws with the
    // theme's body font, as text pasted from a web page in a font nobody has ("inter-regular") shows: so does the
    // copy, where the body font is one the machine can draw.
    static QHash<QString, QString> Renames(const deck::DeckPackage &deck);
    // The same from the deck's typefaces, the families it carries and its body font, read once by the caller.
    static QHash<QString, QString> Renames(const QList<deck::DeckTypefaces::Typeface> &typefaces,
                                           const QSet<QString> &carried, const QString &bodyFont = QString());

private:
    // The stand-in of a font nothing covers; empty where something does, or none of its kind is installed.
    static QString standInFor(const deck::DeckTypefaces::Typeface &typeface, const QSet<QString> &carried);
    // Whether the machine draws the font as itself or by a twin, stand-in or alias, or the deck carries it.
    static bool covered(const QString &name, const QSet<QString> &carried);
};

} // namespace fonts
