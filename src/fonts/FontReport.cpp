#include "fonts/FontReport.h"

#include "deck/DeckPackage.h"
#include "fonts/FontSetup.h"

#include <QSet>
#include <QXmlStreamReader>

#include <fontconfig/fontconfig.h>

namespace fonts {

namespace {
// The parts whose text names fonts.
bool textPart(const QString &part) {
    if (!part.endsWith(QLatin1String(".xml")))
        return false;
    for (const char *folder : {"ppt/theme/", "ppt/slideMasters/", "ppt/slideLayouts/", "ppt/slides/"})
        if (part.startsWith(QLatin1String(folder)) && part.indexOf(u'/', qsizetype(qstrlen(folder))) < 0)
            return true;
    return false;
}

// The elements whose typeface is a font text is set in: Latin, East Asian, complex script, symbol, bullets.
bool fontElement(QStringView name) {
    return name == QLatin1String("latin") || name == QLatin1String("ea") || name == QLatin1String("cs") ||
           name == QLatin1String("sym") || name == QLatin1String("buFont");
}

void addNamed(const QByteArray &xml, QStringList &named, QSet<QString> &seen) {
    QXmlStreamReader r(xml);
    while (!r.atEnd()) {
        if (r.readNext() != QXmlStreamReader::StartElement || !fontElement(r.name()))
            continue;
        const QString face = r.attributes().value(QLatin1String("typeface")).toString().trimmed();
        if (face.isEmpty() || face.startsWith(u'+') || seen.contains(face))
            continue;
        seen.insert(face);
        named.append(face);
    }
}

// The families the deck carries a face of (presentation.xml's embedded font list).
QSet<QString> carried(const deck::DeckPackage &deck) {
    QSet<QString> families;
    QXmlStreamReader r(deck.Read(QStringLiteral("ppt/presentation.xml"), 16 << 20));
    while (!r.atEnd())
        if (r.readNext() == QXmlStreamReader::StartElement && r.name() == QLatin1String("font") &&
            r.attributes().hasAttribute(QLatin1String("typeface")))
            families.insert(r.attributes().value(QLatin1String("typeface")).toString().trimmed());
    return families;
}
} // namespace

QStringList FontReport::Named(const deck::DeckPackage &deck) {
    QStringList named;
    QSet<QString> seen;
    QStringList parts = deck.Parts();
    parts.sort();
    for (const QString &part : parts)
        if (textPart(part))
            addNamed(deck.Read(part, 16 << 20), named, seen);
    return named;
}

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
    const QSet<QString> own = carried(deck);
    for (const QString &family : Named(deck)) {
        if (FontSetup::Installed(family))
            continue;
        if (own.contains(family)) {
            entries.append({family, family, QStringLiteral("the deck's own")});
            continue;
        }
        const QString standIn = FontSetup::StandInFor(family);
        if (!standIn.isEmpty())
            entries.append({family, standIn, QStringLiteral("stand-in")});
        else
            entries.append({family, Matched(family), QStringLiteral("fontconfig's choice")});
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
