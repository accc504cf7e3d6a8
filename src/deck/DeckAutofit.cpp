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

} // namespace

QList<DeckAutofit::Fit> DeckAutofit::FromSlide(const QByteArray &slide) {
    QList<Fit> fits;
    QHash<QString, int> seen;
    QString shape;
    int ordinal = 0;
    QXmlStreamReader xml(slide);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("cNvPr")) {
            // Every shape, group and picture has one, before its text: the text that follows is that shape's.
            shape = xml.attributes().value(QLatin1String("name")).toString();
            ordinal = seen[shape]++;
        } else if (xml.name() == QLatin1String("normAutofit")) {
            Fit fit = fitFrom(xml.attributes());
            fit.shape = shape;
            fit.ordinal = ordinal;
            fits << fit;
        }
    }
    return xml.hasError() ? QList<Fit>() : fits;
}

QList<QList<DeckAutofit::Fit>> DeckAutofit::FromDeck(const DeckPackage &deck) {
    QList<QList<Fit>> slides;
    if (!deck.IsOpen())
        return slides;
    for (const QString &part : deck.SlideParts())
        slides << FromSlide(deck.Read(part, 16 << 20));
    return slides;
}

} // namespace deck
