#include "platform/office/OfficeAutofit.h"

#include "platform/office/DeckPackage.h"

#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/container/XEnumeration.hpp>
#include <com/sun/star/container/XEnumerationAccess.hpp>
#include <com/sun/star/drawing/TextFitToSizeType.hpp>
#include <com/sun/star/drawing/XDrawPage.hpp>
#include <com/sun/star/drawing/XShape.hpp>
#include <com/sun/star/drawing/XShapes.hpp>
#include <com/sun/star/style/LineSpacing.hpp>
#include <com/sun/star/style/LineSpacingMode.hpp>
#include <com/sun/star/text/XText.hpp>

#include <QHash>
#include <QXmlStreamReader>

using namespace css;
using css::uno::Reference;
using css::uno::UNO_QUERY;

namespace office {

namespace {
// The slides' parts in the deck's order.
QStringList slideParts(const DeckPackage &deck) {
    const QHash<QString, QString> targets = deck.PresentationTargets();
    QStringList parts;
    QXmlStreamReader xml(deck.Read(QStringLiteral("ppt/presentation.xml"), 16 << 20));
    while (!xml.atEnd())
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("sldId"))
            for (const QXmlStreamAttribute &a : xml.attributes())
                if (a.name() == QLatin1String("id") && !a.namespaceUri().isEmpty())
                    parts << targets.value(a.value().toString());
    return parts;
}

QList<OfficeAutofit::Fit> slideFits(const QByteArray &slide) {
    QList<OfficeAutofit::Fit> fits;
    QXmlStreamReader xml(slide);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement || xml.name() != QLatin1String("normAutofit"))
            continue;
        OfficeAutofit::Fit fit;
        const QXmlStreamAttributes a = xml.attributes();
        if (a.hasAttribute(QLatin1String("fontScale")))
            fit.fontScale = std::clamp(a.value(QLatin1String("fontScale")).toDouble() / 100000.0, 0.01, 1.0);
        if (a.hasAttribute(QLatin1String("lnSpcReduction")))
            fit.spacingReduction = std::clamp(a.value(QLatin1String("lnSpcReduction")).toDouble() / 100000.0, 0.0, 0.9);
        fits << fit;
    }
    return xml.hasError() ? QList<OfficeAutofit::Fit>() : fits;
}

// The shapes whose text the office shrinks to fit, groups opened, in the page's order.
void autofitShapes(const Reference<drawing::XShapes> &shapes, QList<Reference<beans::XPropertySet>> &found) {
    for (sal_Int32 i = 0; i < shapes->getCount(); ++i) {
        Reference<drawing::XShapes> group(shapes->getByIndex(i), UNO_QUERY);
        if (group.is()) {
            autofitShapes(group, found);
            continue;
        }
        Reference<beans::XPropertySet> shape(shapes->getByIndex(i), UNO_QUERY);
        if (!shape.is() || !shape->getPropertySetInfo()->hasPropertyByName("TextFitToSize"))
            continue;
        drawing::TextFitToSizeType fit = drawing::TextFitToSizeType_NONE;
        shape->getPropertyValue("TextFitToSize") >>= fit;
        if (fit == drawing::TextFitToSizeType_AUTOFIT)
            found << shape;
    }
}

// Every run's height by the scale, every proportional line spacing less the reduction; then no shrinking.
void applyFit(const Reference<beans::XPropertySet> &shape, const OfficeAutofit::Fit &fit) {
    Reference<container::XEnumerationAccess> text(shape, UNO_QUERY);
    if (!text.is())
        return;
    Reference<container::XEnumeration> paragraphs = text->createEnumeration();
    while (paragraphs->hasMoreElements()) {
        Reference<beans::XPropertySet> paragraph(paragraphs->nextElement(), UNO_QUERY);
        Reference<container::XEnumerationAccess> runs(paragraph, UNO_QUERY);
        if (!paragraph.is() || !runs.is())
            continue;
        style::LineSpacing spacing;
        if (fit.spacingReduction > 0 && (paragraph->getPropertyValue("ParaLineSpacing") >>= spacing) &&
            spacing.Mode == style::LineSpacingMode::PROP) {
            spacing.Height = sal_Int16(std::max(10, int(spacing.Height) - int(fit.spacingReduction * 100 + 0.5)));
            paragraph->setPropertyValue("ParaLineSpacing", uno::Any(spacing));
        }
        Reference<container::XEnumeration> portions = runs->createEnumeration();
        while (portions->hasMoreElements()) {
            Reference<beans::XPropertySet> run(portions->nextElement(), UNO_QUERY);
            float height = 0;
            if (run.is() && (run->getPropertyValue("CharHeight") >>= height) && height > 0)
                run->setPropertyValue("CharHeight", uno::Any(float(height * fit.fontScale)));
        }
    }
    // The office keeps a scale of its own for the shape and may apply it at drawing time: back to none.
    if (shape->getPropertySetInfo()->hasPropertyByName("TextFitToSizeScale"))
        shape->setPropertyValue("TextFitToSizeScale", uno::Any(sal_Int16(100)));
    shape->setPropertyValue("TextFitToSize", uno::Any(drawing::TextFitToSizeType_NONE));
}
} // namespace

QList<QList<OfficeAutofit::Fit>> OfficeAutofit::FromDeck(const DeckPackage &deck) {
    QList<QList<Fit>> slides;
    if (!deck.IsOpen())
        return slides;
    for (const QString &part : slideParts(deck))
        slides << slideFits(deck.Read(part, 16 << 20));
    return slides;
}

int OfficeAutofit::Apply(const Reference<drawing::XDrawPages> &pages, const QList<QList<Fit>> &fits) {
    int changed = 0;
    if (fits.size() != pages->getCount())
        return 0; // not the deck's slides one for one
    for (sal_Int32 k = 0; k < pages->getCount(); ++k) {
        if (fits.at(k).isEmpty())
            continue;
        QList<Reference<beans::XPropertySet>> shapes;
        autofitShapes(Reference<drawing::XShapes>(pages->getByIndex(k), UNO_QUERY), shapes);
        if (shapes.size() != fits.at(k).size())
            continue;
        for (qsizetype i = 0; i < shapes.size(); ++i)
            applyFit(shapes.at(i), fits.at(k).at(i));
        changed += int(shapes.size());
    }
    return changed;
}

} // namespace office
