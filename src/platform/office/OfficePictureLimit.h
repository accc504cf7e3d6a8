#pragma once

#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/drawing/XDrawPage.hpp>
#include <com/sun/star/drawing/XShapes.hpp>
#include <com/sun/star/graphic/XGraphic.hpp>
#include <com/sun/star/graphic/XGraphicProvider.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>

#include <QSet>
#include <QString>

#include <functional>
#include <utility>
#include <vector>

namespace office {

// Brings the pictures of an open deck down to a resolution: a picture with more pixels per inch at its size on
// the slide than the limit is resampled to the limit inside the office, never up; smaller ones are left alone.
// Picture shapes (also in groups, their crop kept), picture fills of shapes, and slide and master backgrounds.
// An export then writes the smaller pictures; the deck on disk is never changed (it is open read-only).
class OfficePictureLimit {
public:
    OfficePictureLimit(const css::uno::Reference<css::uno::XComponentContext> &context,
                       const css::uno::Reference<css::lang::XComponent> &document, int pixelsPerInch);

    // Resamples the pictures of a slide and, the first time it is seen, of its master page.
    void Apply(const css::uno::Reference<css::drawing::XDrawPage> &slide);

    // The pixel size a picture of pixels showing on inches gets: the limit's, or pixels when it is not more than
    // a tenth above it.
    // widthInches and heightInches are what the visible part of the picture covers on the slide.
    static std::pair<int, int> TargetPixels(int width, int height, double widthInches, double heightInches,
                                            int pixelsPerInch);

private:
    void applyToPage(const css::uno::Reference<css::drawing::XDrawPage> &page);
    void applyToShapes(const css::uno::Reference<css::drawing::XShapes> &shapes);
    void applyToPicture(const css::uno::Reference<css::beans::XPropertySet> &shape, double width, double height);
    // Resamples a fill's bitmap that is stretched over an area of width x height (1/100 mm) or tiled; commit
    // hands a changed fill back to its owner, current reads the owner's fill again.
    void applyToFill(const css::uno::Reference<css::beans::XPropertySet> &fill, double width, double height,
                     const std::function<void()> &commit,
                     const std::function<css::uno::Reference<css::beans::XPropertySet>()> &current);
    // A new page background with every setting of background but its picture.
    css::uno::Reference<css::beans::XPropertySet>
    freshCopy(const css::uno::Reference<css::beans::XPropertySet> &background);
    // Sets a new picture until the office shows one width pixels wide; false when it never does.
    static bool takes(const std::function<void()> &set,
                      const std::function<css::uno::Reference<css::graphic::XGraphic>()> &get, int width);
    css::uno::Reference<css::graphic::XGraphic> smaller(const css::uno::Reference<css::graphic::XGraphic> &graphic,
                                                        int width, int height);

    css::uno::Reference<css::uno::XComponentContext> m_context;
    css::uno::Reference<css::lang::XComponent> m_document;
    css::uno::Reference<css::graphic::XGraphicProvider> m_provider;
    const int m_ppi;
    QSet<QString> m_masters;
    struct Done {
        css::uno::Reference<css::uno::XInterface> original;
        int width, height;
        css::uno::Reference<css::graphic::XGraphic> resampled;
    };
    std::vector<Done> m_done;
};

} // namespace office
