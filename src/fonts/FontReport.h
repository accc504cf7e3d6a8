#pragma once

#include <QList>
#include <QString>

namespace deck {
class DeckPackage;
}

namespace fonts {

// What a deck's text is drawn with where the machine lacks a font it names: the font the deck carries, the stand-in
// of the same width, the machine's alias (a metric twin), the stand-in of its kind, or fontconfig's choice (a symbol
// font nobody has). Read from the deck and the machine's
// fonts without the office, so that a user finds out why a slide's lines break where they do.
class FontReport {
public:
    struct Entry {
        QString asked;     // the family the deck names
        QString drawnWith; // the family that draws it
        QString how; // "the deck's own", "stand-in", "the machine's alias", "stand-in of its kind", "fontconfig's choice"
        bool operator==(const Entry &) const = default;
    };
    // The fonts the deck names (theme, masters, layouts, slides, bullets) that the machine lacks, in the order
    // first named.
    static QList<Entry> For(const deck::DeckPackage &deck);
    // "Tw Cen MT: Noto Sans (fontconfig's choice); ..." for a log line; empty when no font is missing.
    static QString Text(const QList<Entry> &entries);
    // The family fontconfig gives for one it does not have.
    static QString Matched(const QString &family);
};

} // namespace fonts
