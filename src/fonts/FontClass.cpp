#include "fonts/FontClass.h"

#include "deck/DeckPackage.h"
#include "fonts/FontSetup.h"

#include <QRegularExpression>
#include <QSet>

namespace fonts {

namespace {
// PANOSE (Latin text): byte 0 the family kind, 1 the serif style, 3 the proportion.
constexpr int kKindText = 2, kKindScript = 3, kKindDecorative = 4, kKindSymbol = 5;
constexpr int kSansFirst = 11; // normal sans; obtuse and perpendicular sans follow
constexpr int kMonospaced = 9, kCondensed = 6, kVeryCondensed = 8;

// The kind a font's name tells, word by word ("Lucida Sans Unicode" is no code font).
FontClass::Kind byName(const QString &name) {
    const QStringList words = name.toLower().split(QRegularExpression(QStringLiteral("[^a-z]+")), Qt::SkipEmptyParts);
    const auto has = [&words](std::initializer_list<const char *> any) {
        for (const char *w : any)
            if (words.contains(QLatin1String(w)))
                return true;
        return false;
    };
    if (has({"mono", "code", "courier", "console", "typewriter"}))
        return FontClass::Mono;
    if (has({"narrow", "condensed", "cond", "compressed"}))
        return FontClass::SansNarrow;
    if (has({"script", "hand", "handwriting", "brush"}))
        return FontClass::Script;
    if (has({"serif"}) && !has({"sans"}))
        return FontClass::Serif;
    return FontClass::Sans;
}

FontClass::Kind byPanose(const QByteArray &p, const QString &name) {
    const int kind = quint8(p.at(0)), serif = quint8(p.at(1)), proportion = quint8(p.at(3));
    if (kind == kKindSymbol)
        return FontClass::Symbol;
    if (kind == kKindScript)
        return FontClass::Script;
    if (kind != kKindText && kind != kKindDecorative)
        return byName(name);
    if (proportion == kMonospaced)
        return FontClass::Mono;
    // A condensed face sets its lines narrow whatever its serifs: the width decides where they break.
    if (proportion == kCondensed || proportion == kVeryCondensed)
        return FontClass::SansNarrow;
    if (serif >= 2 && serif < kSansFirst) // flared (14), rounded (15) and "any" (0, 1) read as sans
        return FontClass::Serif;
    return FontClass::Sans;
}
} // namespace

FontClass::Kind FontClass::KindOf(const deck::DeckTypefaces::Typeface &t) {
    if (t.charset == 2)
        return Symbol;
    // A face named condensed is one, whatever its PANOSE proportion says (Rockwell Condensed's says "modern").
    if (byName(t.name) == SansNarrow && !(t.panose.size() == 10 && quint8(t.panose.at(0)) == kKindSymbol))
        return SansNarrow;
    if (t.panose.size() == 10 && t.panose != QByteArray(10, '\0'))
        return byPanose(t.panose, t.name);
    if (t.pitchFamily >= 0) {
        // The low bits say fixed (1) or variable (2) pitch; the high nibble the family.
        if ((t.pitchFamily & 3) == 1 || (t.pitchFamily >> 4) == 3)
            return Mono;
        switch (t.pitchFamily >> 4) {
        case 1:
            return Serif;
        case 4:
            return Script;
        case 5:
            return byName(t.name) == Script ? Script : Sans;
        default:
            break;
        }
    }
    return byName(t.name);
}

QString FontClass::StandIn(Kind kind) {
    switch (kind) {
    case Sans:
        return QStringLiteral("Liberation Sans");
    case SansNarrow:
        return QStringLiteral("Liberation Sans Narrow");
    case Serif:
        return QStringLiteral("Liberation Serif");
    case Mono:
        return QStringLiteral("Liberation Mono");
    case Script:
        return QStringLiteral("Z003");
    case Symbol:
        break;
    }
    return QString();
}

QHash<QString, QString> FontClass::Renames(const deck::DeckPackage &deck) {
    if (!deck.IsOpen())
        return {};
    return Renames(deck::DeckTypefaces::Of(deck), FontSetup::CarriedFamilies(deck),
                   deck::DeckTypefaces::BodyFont(deck));
}

bool FontClass::covered(const QString &name, const QSet<QString> &carried) {
    return carried.contains(name) || !FontSetup::StandInFor(name).isEmpty() || FontSetup::Installed(name) ||
           !FontSetup::AliasFor(name).isEmpty();
}

QString FontClass::standInFor(const deck::DeckTypefaces::Typeface &t, const QSet<QString> &carried) {
    if (covered(t.name, carried))
        return QString();
    const QString standIn = StandIn(KindOf(t));
    return !standIn.isEmpty() && FontSetup::Installed(standIn) ? standIn : QString();
}

QHash<QString, QString> FontClass::Renames(const QList<deck::DeckTypefaces::Typeface> &typefaces,
                                           const QSet<QString> &carried, const QString &bodyFont) {
    QHash<QString, QString> renames;
    const bool bodyDrawn = !bodyFont.isEmpty() && covered(bodyFont, carried);
    for (const deck::DeckTypefaces::Typeface &t : typefaces) {
        const QString first = t.name.section(u',', 0, 0).trimmed();
        if (first != t.name && !first.isEmpty()) {
            // A list of families as web pages name them ("Arial,Sans-Serif"): its first, which PowerPoint drew
            // with, or that one's stand-in.
            deck::DeckTypefaces::Typeface alone = t;
            alone.name = first;
            const QString standIn = standInFor(alone, carried);
            renames.insert(t.name, standIn.isEmpty() ? first : standIn);
        } else if (!t.bulletOnly) {
            const QString standIn = standInFor(t, carried);
            const bool unknown = t.panose.isEmpty() && t.pitchFamily < 0 && t.charset != 2 && !t.inTheme;
            if (!standIn.isEmpty())
                renames.insert(t.name, unknown && bodyDrawn ? bodyFont : standIn);
        }
    }
    return renames;
}

} // namespace fonts
