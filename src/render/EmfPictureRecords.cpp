#include "render/EmfPictureRecords.h"
#include "render/EmfFormat.h"

#include <QBuffer>
#include <QImageWriter>

#include <algorithm>
#include <cmath>
#include <cstring>

using namespace emf;

namespace {
constexpr int kPlusChunk = 32768;     // bytes of a continued object a record carries
constexpr double kGdiResolution = 96; // pixels an inch of the bitmaps only GDI readers draw

std::uint32_t u(std::int32_t v) {
    return std::uint32_t(v);
}

// A bitmap's header: one plane, uncompressed, 96 pixels an inch, rows from the bottom up.
void putBitmapInfo(QByteArray &b, int width, int height, int bits, std::uint32_t size) {
    for (std::uint32_t v : {40u, std::uint32_t(width), std::uint32_t(height), 1u | std::uint32_t(bits) << 16, 0u, size,
                            3780u, 3780u, 0u, 0u})
        put32(b, v);
}
} // namespace

bool EmfPictureRecords::axisAligned(const Placement &at) {
    return std::abs(at.topLeft.y() - at.topRight.y()) < 1e-6 && std::abs(at.topLeft.x() - at.bottomLeft.x()) < 1e-6;
}

QImage EmfPictureRecords::unmirrored(const QImage &image, Placement *at) {
    // Mirrored placements become a mirrored picture at a plain rectangle.
    QPointF &tl = at->topLeft, &tr = at->topRight, &bl = at->bottomLeft;
    const bool flipX = tr.x() < tl.x(), flipY = bl.y() < tl.y();
    if (!flipX && !flipY)
        return image;
    if (flipX)
        std::swap(tl.rx(), tr.rx()), bl.rx() = tl.x();
    if (flipY)
        std::swap(tl.ry(), bl.ry()), tr.ry() = tl.y();
    return image.mirrored(flipX, flipY);
}

QByteArray EmfPictureRecords::Plain(const QImage &source, Placement at, double opacity, int *count) {
    *count = 0;
    if (source.isNull() || opacity <= 0.002)
        return QByteArray();
    const bool aligned = axisAligned(at);
    const QImage image = aligned ? unmirrored(source, &at) : source;
    QByteArray out;
    Frame frame;
    if (aligned) {
        const Point a = Logical(at.topLeft), b = Logical(QPointF(at.topRight.x(), at.bottomLeft.y()));
        frame = {a.x, a.y, std::max(1, b.x - a.x), std::max(1, b.y - a.y), false};
    } else {
        out += turnWorld(image, at);
        *count += 2;
        frame = {0, 0, image.width(), image.height(), true};
    }
    out += bitmapRecord(image, frame, opacity);
    ++*count;
    if (frame.turned) {
        for (std::uint32_t v : {std::uint32_t(RestoreDc), 12u, std::uint32_t(-1)})
            put32(out, v);
        ++*count;
    }
    return out;
}

QByteArray EmfPictureRecords::turnWorld(const QImage &image, const Placement &at) {
    // The picture's pixels are the world's units; the world is turned onto the page.
    const QPointF tl = at.topLeft, tr = at.topRight, bl = at.bottomLeft;
    const int w = image.width(), h = image.height();
    QByteArray out;
    put32(out, SaveDc);
    put32(out, 8);
    put32(out, ModifyWorldTransform);
    put32(out, 36);
    const double k = kUnitsPerPoint;
    for (double v : {(tr.x() - tl.x()) * k / w, (tr.y() - tl.y()) * k / w, (bl.x() - tl.x()) * k / h,
                     (bl.y() - tl.y()) * k / h, tl.x() * k, tl.y() * k})
        putFloat(out, float(v));
    put32(out, 2); // MWT_LEFTMULTIPLY
    return out;
}

QByteArray EmfPictureRecords::bitmapRecord(const QImage &image, const Frame &f, double opacity) {
    const bool opaque = !image.hasAlphaChannel() && opacity >= 0.998;
    const int w = image.width(), h = image.height();
    const int depth = opaque ? 3 : 4;
    const std::uint32_t stride = (std::uint32_t(w) * depth + 3) & ~3u;
    const std::uint32_t bits = stride * std::uint32_t(h);
    const std::uint32_t fixed = opaque ? 80 : 108;
    QByteArray rec;
    rec.reserve(qsizetype(fixed + 40 + bits));
    put32(rec, opaque ? StretchDiBits : AlphaBlend);
    put32(rec, fixed + 40 + bits);
    for (std::int32_t v : {ToDevice(f.x), ToDevice(f.y), ToDevice(f.x + f.cx), ToDevice(f.y + f.cy)})
        put32(rec, u(v));
    if (opaque) {
        for (std::uint32_t v : {u(f.x), u(f.y), 0u, 0u, u(w), u(h), fixed, 40u, fixed + 40, bits,
                                0u /* DIB_RGB_COLORS */, 0x00CC0020u /* SRCCOPY */, u(f.cx), u(f.cy)})
            put32(rec, v);
    } else {
        const auto alpha = std::uint32_t(std::lround(std::clamp(opacity, 0.0, 1.0) * 255));
        for (std::uint32_t v :
             {u(f.x), u(f.y), u(f.cx), u(f.cy), alpha << 16 | 1u << 24 /* over, per-pixel alpha */, 0u, 0u})
            put32(rec, v);
        for (float v : {1.f, 0.f, 0.f, 1.f, 0.f, 0.f})
            putFloat(rec, v);
        for (std::uint32_t v : {0u, 0u, fixed, 40u, fixed + 40, bits, u(w), u(h)})
            put32(rec, v);
    }
    putBitmapInfo(rec, w, h, depth * 8, bits);
    putPixels(rec, image, opaque, stride);
    return rec;
}

void EmfPictureRecords::putPixels(QByteArray &rec, const QImage &image, bool opaque, std::uint32_t stride) {
    const int w = image.width(), h = image.height();
    const qsizetype at = rec.size();
    rec.resize(at + qsizetype(stride) * h);
    char *data = rec.data() + at;
    const QImage pixels = image.convertToFormat(opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied);
    for (int row = 0; row < h; ++row) {
        const auto *from = reinterpret_cast<const QRgb *>(pixels.constScanLine(h - 1 - row)); // bottom up
        char *to = data + qsizetype(row) * stride;
        if (opaque) {
            for (int col = 0; col < w; ++col) {
                to[3 * col] = char(qBlue(from[col]));
                to[3 * col + 1] = char(qGreen(from[col]));
                to[3 * col + 2] = char(qRed(from[col]));
            }
            std::memset(to + 3 * w, 0, stride - 3 * std::uint32_t(w));
        } else {
            std::memcpy(to, from, 4 * std::size_t(w)); // blue, green, red, alpha in memory on little-endian
        }
    }
}

QByteArray EmfPictureRecords::Png(const QImage &image) {
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    writer.setQuality(50); // a middle compression: the best takes several times as long for little less
    return writer.write(image) ? out : QByteArray();
}

QImage EmfPictureRecords::ForGdi(const QImage &image, Placement at) {
    const auto most = [](QPointF a, QPointF b) {
        return std::max(1, int(std::ceil(std::hypot(b.x() - a.x(), b.y() - a.y()) / 72 * kGdiResolution - 0.01)));
    };
    const int w = most(at.topLeft, at.topRight), h = most(at.topLeft, at.bottomLeft);
    if (image.width() <= w * 11 / 10 && image.height() <= h * 11 / 10)
        return image;
    return image.scaled(std::min(w, image.width()), std::min(h, image.height()), Qt::IgnoreAspectRatio,
                        Qt::SmoothTransformation);
}

// A path in hundredths of a millimetre, as EMF+ holds one: points and a type for each.
QByteArray EmfPictureRecords::plusPath(const EmfRecordWriter::Path &path) {
    using Path = EmfRecordWriter::Path;
    std::vector<QPointF> points;
    QByteArray types;
    std::size_t p = 0;
    for (Path::Op op : path.ops) {
        const int n = op == Path::Curve ? 3 : op == Path::Close ? 0 : 1;
        for (int k = 0; k < n; ++k) {
            points.push_back(path.points[p++]);
            types.append(char(op == Path::Curve ? 3 : op == Path::Line ? 1 : 0));
        }
        if (op == Path::Close && !types.isEmpty())
            types.back() = char(types.back() | 0x80);
    }
    QByteArray d;
    put32(d, kPlusVersion);
    put32(d, std::uint32_t(points.size()));
    put32(d, 0); // points as floats
    for (const QPointF &q : points) {
        putFloat(d, float(q.x() * kPlusUnitsPerPoint));
        putFloat(d, float(q.y() * kPlusUnitsPerPoint));
    }
    d += types;
    return d;
}

QList<QByteArray> EmfPictureRecords::plusImageObject(const QImage &image, const QByteArray &compressed) {
    QByteArray object;
    for (std::uint32_t v :
         {kPlusVersion, 1u /* a bitmap */, std::uint32_t(image.width()), std::uint32_t(image.height()), 0u,
          image.hasAlphaChannel() ? 0x0026200Au : 0x00021808u /* 32 bits with alpha, or 24 */,
          1u /* compressed: PNG or JPEG as it is */})
        put32(object, v);
    object += compressed;
    while (object.size() % 4)
        object.append('\0');
    const std::uint16_t flags = std::uint16_t(ObjectImage << 8 | kSlotImage);
    if (object.size() <= kPlusChunk)
        return {PlusRecord(PlusObject, flags, object)};
    // A large object in parts, each flagged as continued and with the whole object's size first, as GDI+ itself
    // writes them (and as the office reads them), the last part too.
    QList<QByteArray> parts;
    for (qsizetype at = 0; at < object.size(); at += kPlusChunk) {
        QByteArray part;
        put32(part, std::uint32_t(object.size()));
        part += object.mid(at, kPlusChunk);
        parts << PlusRecord(PlusObject, std::uint16_t(0x8000 | flags), part);
    }
    return parts;
}

QList<QByteArray> EmfPictureRecords::PlusClip(const std::vector<EmfRecordWriter::ClipPath> &clip) {
    QList<QByteArray> records{PlusRecord(PlusResetClip, 0, QByteArray())};
    for (const EmfRecordWriter::ClipPath &c : clip) {
        records << PlusRecord(PlusObject, std::uint16_t(ObjectPath << 8 | kSlotClip), plusPath(c.path));
        records << PlusRecord(PlusSetClipPath, std::uint16_t(1 /* intersect */ << 8 | kSlotClip), QByteArray());
    }
    return records;
}

QList<QByteArray> EmfPictureRecords::Plus(const QImage &image, const QByteArray &compressed, Placement at,
                                          const std::vector<EmfRecordWriter::ClipPath> &clip) {
    if (compressed.isEmpty())
        return {};
    QList<QByteArray> records = PlusClip(clip);
    // Pixels outside the picture are not drawn at its edges.
    QByteArray attributes;
    for (std::uint32_t v : {kPlusVersion, 0u, 4u /* clamp */, 0u, 0u, 0u})
        put32(attributes, v);
    records << PlusRecord(PlusObject, std::uint16_t(ObjectImageAttributes << 8 | kSlotAttributes), attributes);
    records << plusImageObject(image, compressed);
    QByteArray draw;
    put32(draw, kSlotAttributes);
    put32(draw, 2); // source in pixels
    for (float v : {0.f, 0.f, float(image.width()), float(image.height())})
        putFloat(draw, v);
    put32(draw, 3);
    for (QPointF p : {at.topLeft, at.topRight, at.bottomLeft}) {
        putFloat(draw, float(p.x() * kPlusUnitsPerPoint));
        putFloat(draw, float(p.y() * kPlusUnitsPerPoint));
    }
    records << PlusRecord(PlusDrawImagePoints, kSlotImage, draw);
    return records;
}
