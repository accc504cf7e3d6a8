#include "platform/office/OfficeAutofit.h"

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

#include <cmath>
#include <functional>

using namespace css;
using css::uno::Reference;
using css::uno::UNO_QUERY;

namespace office {

namespace {
using Props = Reference<beans::XPropertySet>;

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

// What a text body's size rests on: each paragraph's line spacing and space above and below it, each run's
// character height, in order.
struct TextSizes {
    QList<style::LineSpacing> spacings;
    QList<QPair<sal_Int32, sal_Int32>> margins;
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
            sal_Int32 top = -1, bottom = -1;
            p->getPropertyValue("ParaTopMargin") >>= top;
            p->getPropertyValue("ParaBottomMargin") >>= bottom;
            sizes.margins << qMakePair(top, bottom);
        },
        [&](const Props &r) {
            float height = 0;
            r->getPropertyValue("CharHeight") >>= height;
            sizes.heights << height;
        });
    return sizes;
}

// Sets a paragraph's margin where the value is one (not -1, unread) and differs from the paragraph's own.
void setMargin(const Props &para, const char *name, sal_Int32 value) {
    sal_Int32 now = -1;
    const rtl::OUString property = rtl::OUString::createFromAscii(name);
    if (value >= 0 && (para->getPropertyValue(property) >>= now) && now != value)
        para->setPropertyValue(property, uno::Any(value));
}

// Writes the sizes back where they differ from the text's own (the text is the one they were read from).
void setSizes(const Props &shape, const TextSizes &sizes) {
    qsizetype p = 0, r = 0;
    visitText(
        shape,
        [&](const Props &para) {
            const QPair<sal_Int32, sal_Int32> margins = sizes.margins.value(p, qMakePair(-1, -1));
            setMargin(para, "ParaTopMargin", margins.first);
            setMargin(para, "ParaBottomMargin", margins.second);
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

TextSizes scaled(TextSizes sizes, const deck::DeckAutofit::Fit &fit) {
    for (style::LineSpacing &spacing : sizes.spacings)
        if (fit.spacingReduction > 0 && spacing.Mode == style::LineSpacingMode::PROP)
            spacing.Height = sal_Int16(std::max(10, int(spacing.Height) - int(fit.spacingReduction * 100 + 0.5)));
    for (float &height : sizes.heights)
        height = float(height * fit.fontScale);
    // Space given as a share of the line shrinks with the text; space in points stays.
    const auto shrunk = [&fit](sal_Int32 margin) { return sal_Int32(std::lround(margin * fit.fontScale)); };
    for (qsizetype p = 0; p < sizes.margins.size(); ++p) {
        const quint8 shares = fit.shareSpacing.value(p, 0);
        QPair<sal_Int32, sal_Int32> &margin = sizes.margins[p];
        margin.first = (shares & 1) && margin.first > 0 ? shrunk(margin.first) : margin.first;
        margin.second = (shares & 2) && margin.second > 0 ? shrunk(margin.second) : margin.second;
    }
    return sizes;
}
} // namespace

namespace {
// About how tall the empty paragraphs that end the shape's text are (1/100 mm): each a line of its size, spaced as
// it says.
sal_Int32 blankTail(const Props &shape) {
    sal_Int32 blank = 0;
    visitText(
        shape,
        [&blank](const Props &para) {
            Reference<text::XTextRange> range(para, UNO_QUERY);
            if (range.is() && !range->getString().isEmpty()) {
                blank = 0;
                return;
            }
            float height = 0;
            sal_Int32 above = 0, below = 0;
            style::LineSpacing spacing{style::LineSpacingMode::PROP, 100};
            para->getPropertyValue("CharHeight") >>= height;
            para->getPropertyValue("ParaTopMargin") >>= above;
            para->getPropertyValue("ParaBottomMargin") >>= below;
            para->getPropertyValue("ParaLineSpacing") >>= spacing;
            const double share = spacing.Mode == style::LineSpacingMode::PROP ? spacing.Height / 100.0 : 1.0;
            // A point is 2540/72 hundredths of a millimetre; a line 1.2 times the size.
            blank += sal_Int32(height * 2540.0 / 72.0 * 1.2 * share) + above + below;
        },
        [](const Props &) {});
    return blank;
}

// Whether the shape's text would leave the slide: the shape is let grow to its text, the office growing it from
// where its text is anchored (a title anchored at its bottom grows upwards), and put back.
bool leavesSlide(const Props &shape, sal_Int32 slideHeight) {
    Reference<drawing::XShape> frame(shape, UNO_QUERY);
    bool grows = false;
    if (!frame.is() || !shape->getPropertySetInfo()->hasPropertyByName("TextAutoGrowHeight") ||
        !(shape->getPropertyValue("TextAutoGrowHeight") >>= grows) || grows)
        return false;
    const awt::Point at = frame->getPosition();
    const awt::Size size = frame->getSize();
    shape->setPropertyValue("TextAutoGrowHeight", uno::Any(true));
    const awt::Point grownAt = frame->getPosition();
    const sal_Int32 grownHeight = frame->getSize().Height;
    shape->setPropertyValue("TextAutoGrowHeight", uno::Any(false));
    frame->setSize(size);
    frame->setPosition(at);
    // A shape the deck itself places partly off the slide may keep its text where the deck has it.
    const sal_Int32 top = std::min<sal_Int32>(0, at.Y), bottom = std::max(slideHeight, at.Y + size.Height);
    // Rounding of the office's layout, a few hundredths of a millimetre, is no loss; nor are empty paragraphs at
    // the text's end (PowerPoint lays them out too, below the last line, where nothing shows).
    return grownHeight > size.Height &&
           (grownAt.Y < top - 20 || grownAt.Y + grownHeight - blankTail(shape) > bottom + 20);
}

// The text at the deck's scale (at full size where the deck saved none), the office's own fitting off; false, and
// the text as it was, where it would leave the slide so.
bool atDeckScale(const Props &shape, const deck::DeckAutofit::Fit &fit, sal_Int32 slideHeight) {
    // Full size needs no change of the text: its sizes are read only where a scale is put on them.
    const TextSizes before = fit.saved ? sizesOf(shape) : TextSizes();
    shape->setPropertyValue("TextFitToSize", uno::Any(drawing::TextFitToSizeType_NONE));
    if (fit.saved)
        setSizes(shape, scaled(before, fit));
    if (leavesSlide(shape, slideHeight)) {
        if (fit.saved)
            setSizes(shape, before);
        return false;
    }
    // The office keeps a scale of its own for the shape and may apply it at drawing time: back to none.
    if (shape->getPropertySetInfo()->hasPropertyByName("TextFitToSizeScale"))
        shape->setPropertyValue("TextFitToSizeScale", uno::Any(sal_Int16(100)));
    return true;
}

sal_Int32 heightOf(const Reference<beans::XPropertySet> &page) {
    sal_Int32 height = 0;
    if (page.is())
        page->getPropertyValue("Height") >>= height;
    return height;
}
} // namespace

int OfficeAutofit::Apply(const Reference<drawing::XDrawPages> &pages,
                         const QList<QList<deck::DeckAutofit::Fit>> &fits) {
    int atScale = 0;
    if (fits.size() != pages->getCount())
        return 0; // not the deck's slides one for one
    for (sal_Int32 k = 0; k < pages->getCount(); ++k) {
        if (fits.at(k).isEmpty())
            continue;
        QHash<QString, int> seen;
        Named named;
        nameShapes(Reference<drawing::XShapes>(pages->getByIndex(k), UNO_QUERY), seen, named);
        const sal_Int32 slideHeight = heightOf(Reference<beans::XPropertySet>(pages->getByIndex(k), UNO_QUERY));
        for (const deck::DeckAutofit::Fit &fit : fits.at(k)) {
            const Props shape = named.value({fit.shape, fit.ordinal});
            if (!shape.is() || !shape->getPropertySetInfo()->hasPropertyByName("TextFitToSize"))
                continue;
            if (atDeckScale(shape, fit, slideHeight))
                atScale += fit.saved;
            else // the office's own fitting, set plainly: its import does not always mark such text
                shape->setPropertyValue("TextFitToSize", uno::Any(drawing::TextFitToSizeType_AUTOFIT));
        }
    }
    return atScale;
}

} // namespace office
