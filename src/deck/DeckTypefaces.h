#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

namespace deck {

class DeckPackage;

// The typefaces a deck's text names (theme, masters, layouts, slides), each with what the deck says of its kind
// where some element gives it: the PANOSE numbers and the pitch-and-family byte PowerPoint writes beside a
// typeface. Theme references (+mj-lt, +mn-ea, ...) name the theme's fonts, which are read too, and are left out.
class DeckTypefaces {
public:
    struct Typeface {
        QString name;
        QByteArray panose;      // ten bytes, as the deck's hex gives them; empty when no element says
        int pitchFamily = -1;   // -1 when no element says
        int charset = -1;       // 2: a symbol font
        bool bulletOnly = true; // named only as a bullet's or a symbol's font
        bool inTheme = false;   // one of the theme's fonts
    };
    // In the order first named.
    static QList<Typeface> Of(const DeckPackage &deck);
    // The theme's font for body text (its minor Latin font), which PowerPoint also draws text with whose font it
    // lacks and knows nothing of; empty where the deck has no theme or names none.
    static QString BodyFont(const DeckPackage &deck);
    // Whether the part's text can name typefaces (theme, master, layout, slide).
    static bool TextPart(const QString &part);
    // The part's XML with the typefaces of text (latin, ea, cs) renamed as renames says; bullets' and symbols'
    // fonts and every other byte kept.
    static QByteArray Renamed(const QByteArray &xml, const QHash<QString, QString> &renames);
};

} // namespace deck
