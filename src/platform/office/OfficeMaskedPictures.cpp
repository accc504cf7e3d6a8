#include "platform/office/OfficeMaskedPictures.h"

#include "engine/lxFileName.h"
#include "platform/office/OfficeHelpers.h"
#include "platform/office/OfficeStrings.h"

#include <com/sun/star/awt/Size.hpp>
#include <com/sun/star/awt/XBitmap.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/beans/XPropertySetInfo.hpp>
#include <com/sun/star/drawing/FillStyle.hpp>
#include <com/sun/star/drawing/XMasterPageTarget.hpp>
#include <com/sun/star/drawing/XShape.hpp>
#include <com/sun/star/graphic/GraphicProvider.hpp>
#include <com/sun/star/graphic/GraphicType.hpp>
#include <com/sun/star/io/TempFile.hpp>
#include <com/sun/star/io/XTempFile.hpp>

#include <QFile>
#include <QImage>
#include <QVersionNumber>

#include <cstring>

using namespace css;
using css::uno::Reference;
using css::uno::UNO_QUERY;

namespace office {

namespace {
bool has(const Reference<beans::XPropertySet> &set, const char *name) {
    return set.is() && set->getPropertySetInfo()->hasPropertyByName(OUString::createFromAscii(name));
}

// The picture a fill shows, when it is a picture fill.
Reference<graphic::XGraphic> fillPicture(const Reference<beans::XPropertySet> &fill) {
    if (!has(fill, "FillStyle") || !has(fill, "FillBitmap"))
        return nullptr;
    drawing::FillStyle style = drawing::FillStyle_NONE;
    if (!(fill->getPropertyValue("FillStyle") >>= style) || style != drawing::FillStyle_BITMAP)
        return nullptr;
    Reference<awt::XBitmap> bitmap;
    fill->getPropertyValue("FillBitmap") >>= bitmap;
    return Reference<graphic::XGraphic>(bitmap, UNO_QUERY);
}

} // namespace

bool OfficeMaskedPictures::Needed(const QString &officeVersion) {
    const QVersionNumber v = QVersionNumber::fromString(officeVersion);
    return !v.isNull() && v >= QVersionNumber(24, 2);
}

QString OfficeMaskedPictures::Repair(const Reference<drawing::XDrawPage> &slide, const QString &path) {
    QFile file;
    QString error;
    if (!TlxFileName::Open(file, path, QIODevice::ReadOnly, &error))
        return error;
    const QByteArray emf = file.readAll();
    file.close();
    const QList<TlxEmfFile::MaskedPicture> pairs = TlxEmfFile::MaskedPictures(emf);
    if (pairs.isEmpty())
        return QString();
    // A picture already put back on an earlier slide is known by its mask; the office is asked only for the rest.
    auto keyOf = [](const TlxEmfFile::MaskedPicture &m) {
        return m.mask + QByteArray::number(m.size.width()) + 'x' + QByteArray::number(m.size.height());
    };
    QList<QSize> sizes;
    for (const auto &m : pairs)
        if (!m_byMask.contains(keyOf(m)) && !sizes.contains(m.size))
            sizes << m.size;
    if (!sizes.isEmpty()) {
        QList<TlxEmfFile::Picture> pictures;
        collect(slide, sizes, &pictures);
        const Reference<drawing::XMasterPageTarget> target(slide, UNO_QUERY);
        if (target.is())
            collect(target->getMasterPage(), sizes, &pictures);
        for (const auto &m : pairs)
            if (const TlxEmfFile::Picture *p = TlxEmfFile::OnlyPictureOfSize(pictures, m.size);
                p && !m_byMask.contains(keyOf(m)))
                m_byMask.insert(keyOf(m), *p);
    }
    int replaced = 0;
    const QByteArray repaired = TlxEmfFile::ReplaceMaskedPictures(
        emf,
        [&](const TlxEmfFile::MaskedPicture &m) -> const TlxEmfFile::Picture * {
            const auto known = m_byMask.constFind(keyOf(m));
            return known == m_byMask.constEnd() ? nullptr : &*known;
        },
        &replaced);
    if (replaced == 0)
        return QString();
    m_replaced += replaced;
    return writeWhole(path, repaired);
}

void OfficeMaskedPictures::collect(const Reference<drawing::XDrawPage> &page, const QList<QSize> &sizes,
                                   QList<TlxEmfFile::Picture> *out) {
    const Reference<beans::XPropertySet> props(page, UNO_QUERY);
    if (!props.is())
        return;
    tolerant([&] {
        Reference<beans::XPropertySet> background;
        if (has(props, "Background") && (props->getPropertyValue("Background") >>= background))
            take(fillPicture(background), sizes, out);
    });
    collectShapes(Reference<drawing::XShapes>(page, UNO_QUERY), sizes, out);
}

void OfficeMaskedPictures::collectShapes(const Reference<drawing::XShapes> &shapes, const QList<QSize> &sizes,
                                         QList<TlxEmfFile::Picture> *out) {
    forEachShape(shapes, [&](const Reference<drawing::XShape> &shape, const QString &type) {
        const Reference<beans::XPropertySet> set(shape, UNO_QUERY);
        tolerant([&] {
            if (type.endsWith(QLatin1String("GraphicObjectShape")) && has(set, "Graphic")) {
                Reference<graphic::XGraphic> graphic;
                set->getPropertyValue("Graphic") >>= graphic;
                take(graphic, sizes, out);
            }
            take(fillPicture(set), sizes, out);
        });
    });
}

void OfficeMaskedPictures::take(const Reference<graphic::XGraphic> &graphic, const QList<QSize> &sizes,
                                QList<TlxEmfFile::Picture> *out) {
    const Reference<beans::XPropertySet> info(graphic, UNO_QUERY);
    if (!info.is())
        return;
    const Reference<uno::XInterface> identity(graphic, UNO_QUERY);
    for (const auto &f : m_fetched) {
        if (f.first == identity) {
            out->append(f.second);
            return;
        }
    }
    sal_Int8 type = graphic::GraphicType::EMPTY;
    info->getPropertyValue("GraphicType") >>= type;
    awt::Size pixels;
    info->getPropertyValue("SizePixel") >>= pixels;
    if (type != graphic::GraphicType::PIXEL || !sizes.contains(QSize(pixels.Width, pixels.Height)))
        return;
    if (!m_provider.is())
        m_provider = graphic::GraphicProvider::create(m_context);
    // Written as PNG inside the office, which keeps every pixel and the transparency, and read here.
    const Reference<io::XTempFile> stream = io::TempFile::create(m_context);
    // Little compression: the bytes only travel to this process, and a photo compresses slowly.
    m_provider->storeGraphic(
        graphic, props({prop("OutputStream", uno::Any(stream->getOutputStream())),
                        prop("MimeType", uno::Any(OUString("image/png"))),
                        prop("FilterData", uno::Any(props({prop("Compression", uno::Any(sal_Int32(1)))})))}));
    stream->seek(0);
    QByteArray png;
    const Reference<io::XInputStream> in = stream->getInputStream();
    for (;;) {
        uno::Sequence<sal_Int8> chunk;
        const sal_Int32 n = in->readBytes(chunk, 1 << 20);
        if (n <= 0)
            break;
        png.append(reinterpret_cast<const char *>(chunk.getConstArray()), n);
    }
    const QImage image = QImage::fromData(png, "PNG").convertToFormat(QImage::Format_ARGB32);
    if (image.isNull() || image.width() != pixels.Width || image.height() != pixels.Height)
        return;
    TlxEmfFile::Picture picture;
    picture.width = image.width();
    picture.height = image.height();
    picture.bgra.resize(qsizetype(picture.width) * picture.height * 4);
    // ARGB32 lies in memory as blue, green, red, alpha on this (little-endian) machine.
    for (int y = 0; y < picture.height; ++y)
        std::memcpy(picture.bgra.data() + qsizetype(y) * picture.width * 4, image.constScanLine(y),
                    size_t(picture.width) * 4);
    m_fetched.emplace_back(identity, picture);
    out->append(picture);
}

} // namespace office
