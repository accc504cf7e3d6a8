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

#include <functional>

using namespace css;
using css::uno::Reference;
using css::uno::UNO_QUERY;

namespace office {

namespace {
using Props = Reference<beans::XPropertySet>;

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

OfficeAutofit::Fit fitFrom(const QXmlStreamAttributes &a) {
    OfficeAutofit::Fit fit;
    const QLatin1String scale("fontScale"), reduction("lnSpcReduction");
    fit.saved = a.hasAttribute(scale) || a.hasAttribute(reduction);
    if (a.hasAttribute(scale))
        fit.fontScale = std::clamp(a.value(scale).toDouble() / 100000.0, 0.01, 1.0);
    if (a.hasAttribute(reduction))
        fit.spacingReduction = std::clamp(a.value(reduction).toDouble() / 100000.0, 0.0, 0.9);
    return fit;
}

// Every shape of a page, groups and their members, by name and ordinal among the shapes of that name, in the
// page's order: the deck's order, which the office keeps.
using Named = QHash<QPair<QString, int>, Props>;
void nameShapes(const Reference<drawing::XShapes> &shapes, QHash<QString, int> &seen, Named &named) {
    for (sal_Int32 i = 0; i < shapes->getCount(); ++i) {
        Props shape(shapes->getByIndex(i), UNO_QUERY);
        rtl::OUString name;
        if (shape.is() && shape->getPropertySetInfo()->hasPropertyByName("Name"))
            shape->getPropertyValue("Name") >>= name;
        const QString key = QString::fromUtf16(reinterpret_cast<const char16_t *>(name.getStr()), name.getLength());
        named.insert({key, seen[key]++}, shape);
        Reference<drawing::XShapes> group(shape, UNO_QUERY);
        if (group.is())
            nameShapes(group, seen, named);
    }
}

// Calls paragraph for each paragraph of the shape's text and run for each of its runs, in the text's order.
void visitText(const Props &shape, const std::function<void(const Props &)> &paragraph,
               const std::function<void(const Props &)> &run) {
    Reference<container::XEnumerationAccess> text(shape, UNO_QUERY);
    if (!text.is())
        return;
    Reference<container::XEnumeration> paragraphs = text->createEnumeration();
    while (paragraphs->hasMoreElements()) {
        Props para(paragraphs->nextElement(), UNO_QUERY);
        Reference<container::XEnumerationAccess> runs(para, UNO_QUERY);
        if (!para.is() || !runs.is())
            continue;
        paragraph(para);
        Reference<container::XEnumeration> portions = runs->createEnumeration();
        while (portions->hasMoreElements())
            if (Props portion(portions->nextElement(), UNO_QUERY); portion.is())
                run(portion);
    }
}

// What a text body's size rests on: each paragraph's line spacing, each run's character height, in order.
struct TextSizes {
    QList<style::LineSpacing> spacings;
    QList<float> heights;
};

TextSizes sizesOf(const Props &shape) {
    TextSizes sizes;
    visitText(
        shape,
        [&](const Props &p) {
            style::LineSpacing spacing{-1, 0};
            p->getPropertyValue("ParaLineSpacing") >>= spacing;
            sizes.spacings << spacing;
        },
        [&](const Props &r) {
            float height = 0;
            r->getPropertyValue("CharHeight") >>= height;
            sizes.heights << height;
        });
    return sizes;
}

// Writes the sizes back where they differ from the text's own (the text is the one they were read from).
void setSizes(const Props &shape, const TextSizes &sizes) {
    qsizetype p = 0, r = 0;
    visitText(
        shape,
        [&](const Props &para) {
            const style::LineSpacing spacing = sizes.spacings.value(p++, style::LineSpacing{-1, 0});
            style::LineSpacing now{-1, 0};
            if (spacing.Mode == style::LineSpacingMode::PROP && (para->getPropertyValue("ParaLineSpacing") >>= now) &&
                now.Height != spacing.Height)
                para->setPropertyValue("ParaLineSpacing", uno::Any(spacing));
        },
        [&](const Props &run) {
            const float height = sizes.heights.value(r++, 0);
            float now = 0;
            if (height > 0 && (run->getPropertyValue("CharHeight") >>= now) && now != height)
                run->setPropertyValue("CharHeight", uno::Any(height));
        });
}

TextSizes scaled(TextSizes sizes, const OfficeAutofit::Fit &fit) {
    for (style::LineSpacing &spacing : sizes.spacings)
        if (fit.spacingReduction > 0 && spacing.Mode == style::LineSpacingMode::PROP)
            spacing.Height = sal_Int16(std::max(10, int(spacing.Height) - int(fit.spacingReduction * 100 + 0.5)));
    for (float &height : sizes.heights)
        height = float(height * fit.fontScale);
    return sizes;
}
} // namespace

namespace {
// Whether the shape's text needs more height than the shape has: the shape is let grow to its text and put back.
bool overflows(const Props &shape) {
    Reference<drawing::XShape> frame(shape, UNO_QUERY);
    bool grows = false;
    if (!frame.is() || !shape->getPropertySetInfo()->hasPropertyByName("TextAutoGrowHeight") ||
        !(shape->getPropertyValue("TextAutoGrowHeight") >>= grows) || grows)
        return false;
    const awt::Point at = frame->getPosition();
    const awt::Size size = frame->getSize();
    shape->setPropertyValue("TextAutoGrowHeight", uno::Any(true));
    const sal_Int32 needed = frame->getSize().Height;
    shape->setPropertyValue("TextAutoGrowHeight", uno::Any(false));
    frame->setSize(size);
    frame->setPosition(at);
    // Rounding of the office's layout, a few hundredths of a millimetre, is not an overflow.
    return needed > size.Height + std::max<sal_Int32>(20, size.Height / 100);
}

// The text at the deck's scale, the office's own fitting off; false, and the text as it was, where it would
// overflow its shape at that scale.
bool atDeckScale(const Props &shape, const OfficeAutofit::Fit &fit) {
    const TextSizes before = sizesOf(shape);
    shape->setPropertyValue("TextFitToSize", uno::Any(drawing::TextFitToSizeType_NONE));
    setSizes(shape, scaled(before, fit));
    if (overflows(shape)) {
        setSizes(shape, before);
        return false;
    }
    // The office keeps a scale of its own for the shape and may apply it at drawing time: back to none.
    if (shape->getPropertySetInfo()->hasPropertyByName("TextFitToSizeScale"))
        shape->setPropertyValue("TextFitToSizeScale", uno::Any(sal_Int16(100)));
    return true;
}
} // namespace

QList<OfficeAutofit::Fit> OfficeAutofit::FromSlide(const QByteArray &slide) {
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

QList<QList<OfficeAutofit::Fit>> OfficeAutofit::FromDeck(const DeckPackage &deck) {
    QList<QList<Fit>> slides;
    if (!deck.IsOpen())
        return slides;
    for (const QString &part : slideParts(deck))
        slides << FromSlide(deck.Read(part, 16 << 20));
    return slides;
}

int OfficeAutofit::Apply(const Reference<drawing::XDrawPages> &pages, const QList<QList<Fit>> &fits) {
    int atScale = 0;
    if (fits.size() != pages->getCount())
        return 0; // not the deck's slides one for one
    for (sal_Int32 k = 0; k < pages->getCount(); ++k) {
        if (fits.at(k).isEmpty())
            continue;
        QHash<QString, int> seen;
        Named named;
        nameShapes(Reference<drawing::XShapes>(pages->getByIndex(k), UNO_QUERY), seen, named);
        for (const Fit &fit : fits.at(k)) {
            const Props shape = named.value({fit.shape, fit.ordinal});
            if (!shape.is() || !shape->getPropertySetInfo()->hasPropertyByName("TextFitToSize"))
                continue;
            if (fit.saved && atDeckScale(shape, fit))
                ++atScale;
            else // the office's own fitting, set plainly: its import does not always mark such text
                shape->setPropertyValue("TextFitToSize", uno::Any(drawing::TextFitToSizeType_AUTOFIT));
        }
    }
    return atScale;
}

} // namespace office
