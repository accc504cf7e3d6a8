#include "platform/office/OfficePictureLimit.h"

#include "base/lxWorkTimes.h"
#include "platform/office/OfficeHelpers.h"
#include "platform/office/OfficeStrings.h"

#include <com/sun/star/awt/Size.hpp>
#include <com/sun/star/awt/XBitmap.hpp>
#include <com/sun/star/beans/PropertyAttribute.hpp>
#include <com/sun/star/beans/XPropertySetInfo.hpp>
#include <com/sun/star/container/XNamed.hpp>
#include <com/sun/star/drawing/BitmapMode.hpp>
#include <com/sun/star/drawing/FillStyle.hpp>
#include <com/sun/star/drawing/XMasterPageTarget.hpp>
#include <com/sun/star/drawing/XShape.hpp>
#include <com/sun/star/graphic/GraphicProvider.hpp>
#include <com/sun/star/graphic/GraphicType.hpp>
#include <com/sun/star/io/TempFile.hpp>
#include <com/sun/star/io/XTempFile.hpp>
#include <com/sun/star/lang/XMultiServiceFactory.hpp>
#include <com/sun/star/text/GraphicCrop.hpp>

#include <algorithm>
#include <cmath>

using namespace css;
using css::uno::Reference;
using css::uno::UNO_QUERY;

namespace office {

namespace {
constexpr double kHundredthMmPerInch = 2540.0;
// The office takes a picture without a size of its own to be this many pixels per inch.
constexpr double kDefaultPixelsPerInch = 96.0;

bool has(const Reference<beans::XPropertySet> &set, const char *name) {
    return set.is() && set->getPropertySetInfo()->hasPropertyByName(OUString::createFromAscii(name));
}

struct PictureInfo {
    int width = 0, height = 0;         // pixels
    double logicalW = 0, logicalH = 0; // 1/100 mm, as the crop counts
    bool jpeg = false;
};

// A bitmap picture's sizes; false for vector pictures and anything that is not a picture.
bool infoOf(const Reference<graphic::XGraphic> &graphic, PictureInfo *info) {
    const Reference<beans::XPropertySet> set(graphic, UNO_QUERY);
    if (!set.is())
        return false;
    sal_Int8 type = graphic::GraphicType::EMPTY;
    set->getPropertyValue("GraphicType") >>= type;
    if (type != graphic::GraphicType::PIXEL)
        return false;
    awt::Size pixels, logical;
    set->getPropertyValue("SizePixel") >>= pixels;
    set->getPropertyValue("Size100thMM") >>= logical;
    OUString mime;
    set->getPropertyValue("MimeType") >>= mime;
    info->width = pixels.Width;
    info->height = pixels.Height;
    // A picture that keeps its size in pixels only is measured at the office's default resolution.
    info->logicalW = logical.Width > 0 ? logical.Width : pixels.Width * kHundredthMmPerInch / kDefaultPixelsPerInch;
    info->logicalH = logical.Height > 0 ? logical.Height : pixels.Height * kHundredthMmPerInch / kDefaultPixelsPerInch;
    info->jpeg = mime == "image/jpeg";
    return info->width > 0 && info->height > 0;
}

} // namespace

OfficePictureLimit::OfficePictureLimit(const Reference<uno::XComponentContext> &context,
                                       const Reference<lang::XComponent> &document, int pixelsPerInch)
    : m_context(context), m_document(document), m_ppi(pixelsPerInch) {}

std::pair<int, int> OfficePictureLimit::TargetPixels(int width, int height, double widthInches, double heightInches,
                                                     int pixelsPerInch) {
    if (pixelsPerInch <= 0 || widthInches <= 0 || heightInches <= 0 || width <= 0 || height <= 0)
        return {width, height};
    // The axis with fewer pixels per inch decides, so that neither falls below the limit.
    const double ppi = std::min(width / widthInches, height / heightInches);
    // A picture within a tenth of the limit is left as it is: a few per cent fewer pixels are not worth a
    // second round of compression.
    if (ppi <= pixelsPerInch * 1.1)
        return {width, height};
    const double scale = pixelsPerInch / ppi;
    return {std::max(1, int(std::lround(width * scale))), std::max(1, int(std::lround(height * scale)))};
}

void OfficePictureLimit::Apply(const Reference<drawing::XDrawPage> &slide) {
    if (m_ppi <= 0 || !slide.is())
        return;
    TlxWorkTimes::Scope resampling(TlxWorkTimes::Pictures);
    applyToPage(slide);
    const Reference<drawing::XMasterPageTarget> target(slide, UNO_QUERY);
    const Reference<drawing::XDrawPage> master = target.is() ? target->getMasterPage() : nullptr;
    const Reference<container::XNamed> named(master, UNO_QUERY);
    if (!named.is())
        return;
    const QString name = fromOU(named->getName());
    if (m_masters.contains(name))
        return;
    m_masters.insert(name);
    applyToPage(master);
}

void OfficePictureLimit::applyToPage(const Reference<drawing::XDrawPage> &page) {
    const Reference<beans::XPropertySet> pageProps(page, UNO_QUERY);
    tolerant([&] {
        sal_Int32 width = 0, height = 0;
        pageProps->getPropertyValue("Width") >>= width;
        pageProps->getPropertyValue("Height") >>= height;
        Reference<beans::XPropertySet> background;
        if (!has(pageProps, "Background") || !(pageProps->getPropertyValue("Background") >>= background) ||
            !background.is())
            return;
        // The page hands out a copy of its background: it counts once it is set back. Some offices keep the old
        // picture however often the copy comes back (it depends on the process), but take a new background.
        int attempt = 0;
        applyToFill(
            background, width, height,
            [&] {
                pageProps->setPropertyValue("Background",
                                            uno::Any(++attempt == 1 ? background : freshCopy(background)));
            },
            [&] {
                Reference<beans::XPropertySet> now;
                pageProps->getPropertyValue("Background") >>= now;
                return now;
            });
    });
    applyToShapes(Reference<drawing::XShapes>(page, UNO_QUERY));
}

void OfficePictureLimit::applyToShapes(const Reference<drawing::XShapes> &shapes) {
    forEachShape(shapes, [this](const Reference<drawing::XShape> &shape, const QString &type) {
        const Reference<beans::XPropertySet> set(shape, UNO_QUERY);
        const awt::Size size = shape->getSize();
        tolerant([&] {
            if (type.endsWith(QLatin1String("GraphicObjectShape")))
                applyToPicture(set, size.Width, size.Height);
            if (has(set, "FillStyle"))
                applyToFill(
                    set, size.Width, size.Height, [] {}, [&set] { return set; });
        });
    });
}

void OfficePictureLimit::applyToPicture(const Reference<beans::XPropertySet> &shape, double width, double height) {
    Reference<graphic::XGraphic> graphic;
    if (!(shape->getPropertyValue("Graphic") >>= graphic) || !graphic.is())
        return;
    PictureInfo info;
    if (!infoOf(graphic, &info))
        return;
    text::GraphicCrop crop;
    shape->getPropertyValue("GraphicCrop") >>= crop;
    // The shape shows the part of the picture inside its crop: the whole picture would cover this much.
    const double shownW = std::max(0.01, (info.logicalW - crop.Left - crop.Right) / info.logicalW);
    const double shownH = std::max(0.01, (info.logicalH - crop.Top - crop.Bottom) / info.logicalH);
    const auto [w, h] = TargetPixels(info.width, info.height, width / shownW / kHundredthMmPerInch,
                                     height / shownH / kHundredthMmPerInch, m_ppi);
    if (w == info.width && h == info.height)
        return;
    const Reference<graphic::XGraphic> resampled = smaller(graphic, w, h);
    PictureInfo after;
    if (!resampled.is() || !infoOf(resampled, &after))
        return;
    if (!takes([&] { shape->setPropertyValue("Graphic", uno::Any(resampled)); },
               [&] {
                   Reference<graphic::XGraphic> now;
                   shape->getPropertyValue("Graphic") >>= now;
                   return now;
               },
               after.width))
        return;
    // The crop counts in the picture's own size, which the new picture may give otherwise.
    if (crop.Left || crop.Right || crop.Top || crop.Bottom) {
        const double fx = after.logicalW / info.logicalW, fy = after.logicalH / info.logicalH;
        crop.Left = sal_Int32(std::lround(crop.Left * fx));
        crop.Right = sal_Int32(std::lround(crop.Right * fx));
        crop.Top = sal_Int32(std::lround(crop.Top * fy));
        crop.Bottom = sal_Int32(std::lround(crop.Bottom * fy));
    }
    shape->setPropertyValue("GraphicCrop", uno::Any(crop));
}

void OfficePictureLimit::applyToFill(const Reference<beans::XPropertySet> &fill, double width, double height,
                                     const std::function<void()> &commit,
                                     const std::function<Reference<beans::XPropertySet>()> &current) {
    drawing::FillStyle style = drawing::FillStyle_NONE;
    if (!(fill->getPropertyValue("FillStyle") >>= style) || style != drawing::FillStyle_BITMAP)
        return;
    drawing::BitmapMode mode = drawing::BitmapMode_REPEAT;
    fill->getPropertyValue("FillBitmapMode") >>= mode;
    if (mode == drawing::BitmapMode_REPEAT) {
        // A tile counts at its own size; one that is a share of the area or its natural size is left alone.
        sal_Int32 tileW = 0, tileH = 0;
        fill->getPropertyValue("FillBitmapSizeX") >>= tileW;
        fill->getPropertyValue("FillBitmapSizeY") >>= tileH;
        if (tileW <= 0 || tileH <= 0)
            return;
        width = tileW;
        height = tileH;
    } else if (mode != drawing::BitmapMode_STRETCH) {
        return;
    }
    Reference<awt::XBitmap> bitmap;
    fill->getPropertyValue("FillBitmap") >>= bitmap;
    const Reference<graphic::XGraphic> graphic(bitmap, UNO_QUERY);
    PictureInfo info;
    if (!graphic.is() || !infoOf(graphic, &info))
        return;
    const auto [w, h] =
        TargetPixels(info.width, info.height, width / kHundredthMmPerInch, height / kHundredthMmPerInch, m_ppi);
    if (w == info.width && h == info.height)
        return;
    const Reference<graphic::XGraphic> smallerPicture = smaller(graphic, w, h);
    const Reference<awt::XBitmap> resampled(smallerPicture, UNO_QUERY);
    PictureInfo after;
    if (!resampled.is() || !infoOf(smallerPicture, &after))
        return;
    takes(
        [&] {
            fill->setPropertyValue("FillBitmap", uno::Any(resampled));
            commit();
        },
        [&] {
            Reference<awt::XBitmap> now;
            if (const Reference<beans::XPropertySet> set = current(); set.is())
                set->getPropertyValue("FillBitmap") >>= now;
            return Reference<graphic::XGraphic>(now, UNO_QUERY);
        },
        after.width);
}

Reference<graphic::XGraphic> OfficePictureLimit::smaller(const Reference<graphic::XGraphic> &graphic, int width,
                                                         int height) {
    // A picture shown at the same size in several places is resampled once.
    const Reference<uno::XInterface> identity(graphic, UNO_QUERY);
    for (const Done &d : m_done)
        if (d.original == identity && d.width == width && d.height == height)
            return d.resampled;
    if (!m_provider.is())
        m_provider = graphic::GraphicProvider::create(m_context);
    PictureInfo info;
    infoOf(graphic, &info);
    // Written and read back in a stream inside the office: the new picture is embedded like the old one, and
    // its bytes never cross to this process.
    const Reference<io::XTempFile> stream = io::TempFile::create(m_context);
    const uno::Sequence<beans::PropertyValue> filterData =
        props({prop("PixelWidth", uno::Any(sal_Int32(width))), prop("PixelHeight", uno::Any(sal_Int32(height))),
               prop("Quality", uno::Any(sal_Int32(90)))});
    // Photographs stay JPEG; everything else becomes PNG, which keeps transparency and sharp edges.
    m_provider->storeGraphic(
        graphic, props({prop("OutputStream", uno::Any(stream->getOutputStream())),
                        prop("MimeType", uno::Any(OUString::createFromAscii(info.jpeg ? "image/jpeg" : "image/png"))),
                        prop("FilterData", uno::Any(filterData))}));
    stream->seek(0);
    Reference<graphic::XGraphic> resampled =
        m_provider->queryGraphic(props({prop("InputStream", uno::Any(stream->getInputStream()))}));
    PictureInfo after;
    // A picture the office did not make smaller is not taken.
    if (!resampled.is() || !infoOf(resampled, &after) ||
        qint64(after.width) * after.height >= qint64(info.width) * info.height)
        return nullptr;
    m_done.push_back({identity, width, height, resampled});
    return resampled;
}

Reference<beans::XPropertySet> OfficePictureLimit::freshCopy(const Reference<beans::XPropertySet> &background) {
    const Reference<lang::XMultiServiceFactory> factory(m_document, UNO_QUERY);
    if (!factory.is())
        return background;
    const Reference<beans::XPropertySet> fresh(factory->createInstance("com.sun.star.drawing.Background"), UNO_QUERY);
    if (!fresh.is())
        return background;
    const Reference<beans::XPropertySetInfo> oldInfo = background->getPropertySetInfo();
    for (const beans::Property &p : fresh->getPropertySetInfo()->getProperties()) {
        if ((p.Attributes & beans::PropertyAttribute::READONLY) || !oldInfo->hasPropertyByName(p.Name) ||
            p.Name == "FillBitmapName" || p.Name == "FillBitmapURL")
            continue;
        tolerant([&] { fresh->setPropertyValue(p.Name, background->getPropertyValue(p.Name)); });
    }
    return fresh;
}

bool OfficePictureLimit::takes(const std::function<void()> &set,
                               const std::function<Reference<graphic::XGraphic>()> &get, int width) {
    // The office does not always take a new picture the first time it is given (seen with page backgrounds):
    // it is given again until it shows.
    for (int attempt = 0; attempt < 5; ++attempt) {
        set();
        PictureInfo now;
        if (infoOf(get(), &now) && now.width == width)
            return true;
    }
    return false;
}

} // namespace office
