#include "deck/DeckAutofit.h"

#include "deck/DeckPackage.h"

#include <QHash>
#include <QXmlStreamReader>

#include <algorithm>

namespace deck {

namespace {
DeckAutofit::Fit fitFrom(const QXmlStreamAttributes &a) {
    DeckAutofit::Fit fit;
    const QLatin1String scale("fontScale"), reduction("lnSpcReduction");
    fit.saved = a.hasAttribute(scale) || a.hasAttribute(reduction);
    if (a.hasAttribute(scale))
        fit.fontScale = std::clamp(a.value(scale).toDouble() / 100000.0, 0.01, 1.0);
    if (a.hasAttribute(reduction))
        fit.spacingReduction = std::clamp(a.value(reduction).toDouble() / 100000.0, 0.0, 0.9);
    return fit;
}

// Which spacing (1: before, 2: after) an element opens inside a paragraph's properties; 0 for any other.
quint8 spacingOf(QStringView name) {
    return name == QLatin1String("spcBef") ? 1 : (name == QLatin1String("spcAft") ? 2 : 0);
}

// What a spacing's child says: a share of the line (not none) sets its bit, points clear it.
quint8 withSpacing(quint8 bits, quint8 spacing, const QXmlStreamReader &xml) {
    if (xml.name() == QLatin1String("spcPct") && xml.attributes().value(QLatin1String("val")).toInt() != 0)
        return bits | spacing;
    return xml.name() == QLatin1String("spcPct") || xml.name() == QLatin1String("spcPts") ? bits & ~spacing : bits;
}

// One slide read through: which shape each element belongs to, its placeholder's kind, the paragraph in hand.
struct SlideReader {
    enum Kind { None, Title, Body };
    const DeckAutofit::Styles &styles;
    QList<DeckAutofit::Fit> fits;
    QHash<QString, int> seen;
    QString shape;
    int ordinal = 0;
    Kind kind = None;
    bool inFit = false, inProperties = false; // in a shrink-to-fit text body; in a paragraph's properties
    quint8 spacing = 0;

    quint8 styled(int level) const {
        const int at = std::clamp(level, 0, 8);
        return kind == Title ? styles.title[at] : (kind == Body ? styles.body[at] : 0);
    }
    void start(const QXmlStreamReader &xml);
    void end(QStringView name) {
        inFit = inFit && name != QLatin1String("txBody");
        inProperties = inProperties && name != QLatin1String("pPr");
        spacing = spacingOf(name) ? 0 : spacing;
    }
};

void SlideReader::start(const QXmlStreamReader &xml) {
    const QStringView name = xml.name();
    if (name == QLatin1String("cNvPr")) {
        // Every shape, group and picture has one, before its text: the text that follows is that shape's.
        shape = xml.attributes().value(QLatin1String("name")).toString();
        ordinal = seen[shape]++;
        kind = None;
    } else if (name == QLatin1String("ph")) {
        const QStringView type = xml.attributes().value(QLatin1String("type"));
        kind = type == QLatin1String("title") || type == QLatin1String("ctrTitle") ? Title : Body;
    } else if (name == QLatin1String("normAutofit")) {
        DeckAutofit::Fit fit = fitFrom(xml.attributes());
        fit.shape = shape;
        fit.ordinal = ordinal;
        fits << fit;
        inFit = true;
    } else if (inFit && name == QLatin1String("p") && xml.namespaceUri().contains(QLatin1String("drawingml"))) {
        fits.last().shareSpacing << styled(0);
    } else if (inFit && name == QLatin1String("pPr") && !fits.last().shareSpacing.isEmpty()) {
        inProperties = true;
        fits.last().shareSpacing.last() = styled(xml.attributes().value(QLatin1String("lvl")).toInt());
    } else if (inProperties && spacingOf(name)) {
        spacing = spacingOf(name);
    } else if (inProperties && spacing) {
        quint8 &bits = fits.last().shareSpacing.last();
        bits = withSpacing(bits, spacing, xml);
    }
}
} // namespace

DeckAutofit::Styles DeckAutofit::StylesOf(const QByteArray &master) {
    Styles styles;
    std::array<quint8, 9> *list = nullptr;
    int level = -1;
    quint8 spacing = 0;
    QXmlStreamReader xml(master);
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        const QStringView name = xml.name();
        if (token == QXmlStreamReader::EndElement) {
            list = name == QLatin1String("titleStyle") || name == QLatin1String("bodyStyle") ? nullptr : list;
            spacing = spacingOf(name) ? 0 : spacing;
        } else if (token != QXmlStreamReader::StartElement) {
            continue;
        } else if (name == QLatin1String("titleStyle") || name == QLatin1String("bodyStyle")) {
            list = name == QLatin1String("titleStyle") ? &styles.title : &styles.body;
        } else if (list && name.size() == 7 && name.startsWith(QLatin1String("lvl")) &&
                   name.endsWith(QLatin1String("pPr"))) {
            level = name.at(3).digitValue() - 1;
        } else if (list && spacingOf(name)) {
            spacing = spacingOf(name);
        } else if (list && spacing && level >= 0 && level < 9) {
            (*list)[level] = withSpacing((*list)[level], spacing, xml);
        }
    }
    return xml.hasError() ? Styles() : styles;
}

QList<DeckAutofit::Fit> DeckAutofit::FromSlide(const QByteArray &slide, const Styles &styles) {
    SlideReader reader{styles, {}, {}, {}};
    QXmlStreamReader xml(slide);
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::StartElement)
            reader.start(xml);
        else if (token == QXmlStreamReader::EndElement)
            reader.end(xml.name());
    }
    return xml.hasError() ? QList<Fit>() : reader.fits;
}

QList<QList<DeckAutofit::Fit>> DeckAutofit::FromDeck(const DeckPackage &deck) {
    QList<QList<Fit>> slides;
    if (!deck.IsOpen())
        return slides;
    QHash<QString, Styles> masters;
    for (const QString &part : deck.SlideParts()) {
        const QString master = deck.MasterOf(part);
        if (!master.isEmpty() && !masters.contains(master))
            masters.insert(master, StylesOf(deck.Read(master, 16 << 20)));
        slides << FromSlide(deck.Read(part, 16 << 20), masters.value(master));
    }
    return slides;
}

} // namespace deck
