#include "fonts/FontReport.h"

#include "deck/DeckPackage.h"
#include "deck/DeckTypefaces.h"
#include "fonts/FontClass.h"
#include "fonts/FontSetup.h"

#include <QSet>

#include <fontconfig/fontconfig.h>

namespace fonts {

QString FontReport::Matched(const QString &family) {
    FcPattern *pattern = FcNameParse(reinterpret_cast<const FcChar8 *>(""));
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8 *>(family.toUtf8().constData()));
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern *match = FcFontMatch(nullptr, pattern, &result);
    QString found;
    FcChar8 *name = nullptr;
    if (match && FcPatternGetString(match, FC_FAMILY, 0, &name) == FcResultMatch)
        found = QString::fromUtf8(reinterpret_cast<const char *>(name));
    if (match)
        FcPatternDestroy(match);
    FcPatternDestroy(pattern);
    return found;
}

QList<FontReport::Entry> FontReport::For(const deck::DeckPackage &deck) {
    QList<Entry> entries;
    if (!deck.IsOpen())
        return entries;
    const QList<deck::DeckTypefaces::Typeface> typefaces = deck::DeckTypefaces::Of(deck);
    const QSet<QString> own = FontSetup::CarriedFamilies(deck);
    const QString body = deck::DeckTypefaces::BodyFont(deck);
    const QHash<QString, QString> kinds = FontClass::Renames(typefaces, own, body);
    for (const deck::DeckTypefaces::Typeface &t : typefaces) {
        if (FontSetup::Installed(t.name))
            continue;
        if (kinds.contains(t.name) && t.name.contains(u',')) {
            entries.append({t.name, kinds.value(t.name), QStringLiteral("the first of its list")});
            continue;
        }
        const QString standIn = FontSetup::StandInFor(t.name);
        const QString alias = standIn.isEmpty() ? FontSetup::AliasFor(t.name) : QString();
        if (own.contains(t.name))
            entries.append({t.name, t.name, QStringLiteral("the deck's own")});
        else if (!standIn.isEmpty())
            entries.append(
                {t.name, standIn,
                 FontSetup::IsTwin(standIn) ? QStringLiteral("width-matched twin") : QStringLiteral("stand-in")});
        else if (!alias.isEmpty())
            entries.append({t.name, alias, QStringLiteral("the machine's alias")});
        else if (kinds.contains(t.name))
            entries.append({t.name, kinds.value(t.name),
                            kinds.value(t.name) == body ? QStringLiteral("the deck's body font, as PowerPoint draws it")
                                                        : QStringLiteral("stand-in of its kind")});
        else
            entries.append({t.name, Matched(t.name), QStringLiteral("fontconfig's choice")});
    }
    return entries;
}

QString FontReport::Text(const QList<Entry> &entries) {
    QStringList parts;
    for (const Entry &e : entries)
        parts << QStringLiteral("%1: %2 (%3)").arg(e.asked, e.drawnWith, e.how);
    return parts.join(QStringLiteral("; "));
}

} // namespace fonts
