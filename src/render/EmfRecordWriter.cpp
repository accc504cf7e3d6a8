#include "render/EmfRecordWriter.h"
#include "render/EmfFormat.h"
#include "render/EmfPictureRecords.h"
#include "render/EmfPlusText.h"

#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstring>

using namespace emf;

namespace {
std::uint32_t colorRef(QRgb c) {
    return std::uint32_t(qRed(c)) | std::uint32_t(qGreen(c)) << 8 | std::uint32_t(qBlue(c)) << 16;
}
} // namespace

EmfRecordWriter::EmfRecordWriter(double widthPoints, double heightPoints, bool plus)
    : m_width(std::max(1.0, widthPoints)), m_height(std::max(1.0, heightPoints)), m_plus(plus) {
    if (m_plus) {
        // The EMF+ header comes first; EMF+ coordinates are the reference device's pixels.
        QByteArray header;
        put32(header, kPlusVersion);
        put32(header, 1); // the reference device is a display
        put32(header, 96);
        put32(header, 96);
        QByteArray scale;
        putFloat(scale, 1.0f);
        plusRecords(
            {PlusRecord(PlusHeader, 1 /* dual */, header), PlusRecord(PlusSetPageTransform, 2 /* pixels */, scale)});
    }
    record(SetMapMode, {8});              // anisotropic: window and viewport below
    record(SetWindowExtEx, {2540, 2540}); // an inch in hundredths of a millimetre
    record(SetViewportExtEx, {96, 96});   // is an inch of the reference device
    record(SetBkMode, {1});               // transparent: text draws no box
    record(SetTextAlign, {24});           // text origins on the baseline
    record(SetStretchBltMode, {4});       // pictures scaled with averaging
}

EmfRecordWriter::Point EmfRecordWriter::logical(QPointF p) const {
    const emf::Point q = Logical(p);
    return {q.x, q.y};
}

std::int32_t EmfRecordWriter::length(double points) const {
    return std::int32_t(std::lround(std::clamp(points * kUnitsPerPoint, 0.0, 1.0e9)));
}

void EmfRecordWriter::plainRun() {
    if (!m_plus || m_inPlainRun)
        return;
    m_body += PlusComment(PlusRecord(PlusGetDc, 0, QByteArray()));
    ++m_records;
    m_inPlainRun = true;
}

void EmfRecordWriter::plusRecords(const QList<QByteArray> &records) {
    for (const QByteArray &r : records) {
        m_body += PlusComment(r);
        ++m_records;
    }
    m_inPlainRun = false;
}

void EmfRecordWriter::record(std::uint32_t type, std::initializer_list<std::uint32_t> values) {
    plainRun();
    put32(m_body, type);
    put32(m_body, std::uint32_t(8 + 4 * values.size()));
    for (std::uint32_t v : values)
        put32(m_body, v);
    ++m_records;
}

void EmfRecordWriter::raw(const QByteArray &r) {
    plainRun();
    m_body += r;
    ++m_records;
}

void EmfRecordWriter::pathRecords(const Path &path) {
    record(BeginPath, {});
    std::size_t p = 0;
    for (std::size_t i = 0; i < path.ops.size();) {
        const Path::Op op = path.ops[i];
        if (op == Path::Move) {
            const Point a = logical(path.points[p++]);
            record(MoveToEx, {std::uint32_t(a.x), std::uint32_t(a.y)});
            ++i;
        } else if (op == Path::Close) {
            record(CloseFigure, {});
            ++i;
        } else {
            // A run of lines or of curves is one record.
            std::vector<Point> pts;
            const int per = op == Path::Curve ? 3 : 1;
            for (; i < path.ops.size() && path.ops[i] == op; ++i)
                for (int k = 0; k < per; ++k)
                    pts.push_back(logical(path.points[p++]));
            std::int32_t l = pts[0].x, t = pts[0].y, r = l, b = t;
            for (const Point &q : pts) {
                l = std::min(l, q.x), r = std::max(r, q.x), t = std::min(t, q.y), b = std::max(b, q.y);
            }
            QByteArray rec;
            put32(rec, op == Path::Curve ? PolyBezierTo : PolyLineTo);
            put32(rec, std::uint32_t(28 + 8 * pts.size()));
            for (std::int32_t v : {ToDevice(l), ToDevice(t), ToDevice(r), ToDevice(b)})
                put32(rec, std::uint32_t(v));
            put32(rec, std::uint32_t(pts.size()));
            for (const Point &q : pts) {
                put32(rec, std::uint32_t(q.x));
                put32(rec, std::uint32_t(q.y));
            }
            raw(rec);
        }
    }
    record(EndPath, {});
}

std::uint32_t EmfRecordWriter::newObject() {
    if (!m_free.empty()) {
        const std::uint32_t h = m_free.back();
        m_free.pop_back();
        return h;
    }
    return m_handles++;
}

void EmfRecordWriter::deleteObject(std::uint32_t handle) {
    record(DeleteObject, {handle});
    m_free.push_back(handle);
}

void EmfRecordWriter::selectBrush(QRgb color) {
    if (m_hasBrush && m_brushColor == color)
        return;
    const std::uint32_t h = newObject();
    record(CreateBrushIndirect, {h, 0 /* BS_SOLID */, colorRef(color), 0});
    record(SelectObject, {h});
    if (m_hasBrush)
        deleteObject(m_brush);
    m_brush = h, m_brushColor = color, m_hasBrush = true;
}

void EmfRecordWriter::selectPen(const Pen &pen) {
    if (m_hasPen && m_penNow.color == pen.color && m_penNow.width == pen.width && m_penNow.cap == pen.cap &&
        m_penNow.join == pen.join && m_penNow.miterLimit == pen.miterLimit)
        return;
    if (!m_hasPen || m_penNow.miterLimit != pen.miterLimit)
        record(SetMiterLimit, {std::uint32_t(std::clamp(std::ceil(pen.miterLimit), 1.0, 1000.0))});
    const std::uint32_t h = newObject();
    QByteArray rec;
    put32(rec, ExtCreatePen);
    put32(rec, 52);
    for (std::uint32_t v : {h, 0u, 0u, 0u, 0u})
        put32(rec, v);
    std::uint32_t style;
    std::uint32_t width;
    if (pen.width <= 0) {
        style = 0; // cosmetic, solid: one device pixel
        width = 1;
    } else {
        static const std::uint32_t caps[] = {0x200 /* flat */, 0x000 /* round */, 0x100 /* square */};
        static const std::uint32_t joins[] = {0x2000 /* miter */, 0x0000 /* round */, 0x1000 /* bevel */};
        style = 0x10000 /* geometric */ | caps[std::clamp(pen.cap, 0, 2)] | joins[std::clamp(pen.join, 0, 2)];
        width = std::uint32_t(std::max<std::int32_t>(1, length(pen.width)));
    }
    for (std::uint32_t v : {style, width, 0u /* BS_SOLID */, colorRef(pen.color), 0u, 0u /* no style entries */})
        put32(rec, v);
    raw(rec);
    record(SelectObject, {h});
    if (m_hasPen)
        deleteObject(m_pen);
    m_pen = h, m_penNow = pen, m_hasPen = true;
}

QByteArray EmfRecordWriter::fontRecord(std::uint32_t handle, const Font &font) const {
    QByteArray rec;
    put32(rec, ExtCreateFontIndirectW);
    put32(rec, 12 + 92);
    put32(rec, handle);
    const std::int32_t escapement = std::int32_t(std::lround(std::fmod(font.escapement + 360.0, 360.0) * 10)) % 3600;
    for (std::int32_t v :
         {-std::max<std::int32_t>(1, length(font.height)), 0, escapement, escapement, font.bold ? 700 : 400})
        put32(rec, std::uint32_t(v));
    // italic, underline, strike-out, character set (default), precisions, quality, pitch and family
    const char flags[8] = {char(font.italic ? 1 : 0), 0, 0, 1, 0, 0, 0, 0};
    rec.append(flags, 8);
    QByteArray face(64, '\0');
    const QString name = font.face.left(31);
    for (qsizetype i = 0; i < name.size(); ++i)
        qToLittleEndian<quint16>(name.at(i).unicode(), face.data() + 2 * i);
    return rec + face;
}

void EmfRecordWriter::selectFont(const Font &font) {
    if (m_hasFont && m_fontNow == font)
        return;
    const std::uint32_t h = newObject();
    raw(fontRecord(h, font));
    record(SelectObject, {h});
    if (m_hasFont)
        deleteObject(m_font);
    m_font = h, m_fontNow = font, m_hasFont = true;
}

void EmfRecordWriter::setFillMode(bool evenOdd) {
    const int mode = evenOdd ? 1 /* ALTERNATE */ : 2 /* WINDING */;
    if (m_fillMode != mode)
        record(SetPolyFillMode, {std::uint32_t(mode)});
    m_fillMode = mode;
}

void EmfRecordWriter::setTextColor(QRgb color) {
    if (!m_hasTextColor || m_textColor != color)
        record(SetTextColor, {colorRef(color)});
    m_textColor = color, m_hasTextColor = true;
}

void EmfRecordWriter::SetClip(const std::vector<ClipPath> &clip, std::uint64_t id) {
    if (id == m_clipId)
        return;
    m_clipId = id;
    m_clip = clip;
    record(ExtSelectClipRgn, {0, 5 /* RGN_COPY of no region: the whole page */});
    for (const ClipPath &c : clip) {
        setFillMode(c.evenOdd);
        pathRecords(c.path);
        record(SelectClipPath, {1 /* RGN_AND */});
    }
}

void EmfRecordWriter::Fill(const Path &path, QRgb color, double opacity, bool evenOdd) {
    if (path.Empty() || opacity <= 0.002)
        return;
    setFillMode(evenOdd);
    if (opacity < 0.998) {
        blendOverClip(path, color, opacity);
        return;
    }
    selectBrush(color);
    pathRecords(path);
    record(FillPath, {0, 0, 0, 0});
}

void EmfRecordWriter::Stroke(const Path &path, const Pen &pen, double opacity) {
    if (path.Empty() || opacity <= 0.002)
        return;
    selectPen(pen);
    if (opacity < 0.998) {
        // The stroke's outline becomes the clip the colour is blended into.
        blendOverClip(path, pen.color, opacity, std::max(pen.width, 1.0));
        return;
    }
    pathRecords(path);
    record(StrokePath, {0, 0, 0, 0});
}

void EmfRecordWriter::blendOverClip(const Path &path, QRgb color, double opacity, double widen) {
    record(SaveDc, {});
    pathRecords(path);
    if (widen > 0)
        record(WidenPath, {});
    record(SelectClipPath, {1});
    double l = 1e18, t = 1e18, r = -1e18, b = -1e18;
    for (const QPointF &p : path.points)
        l = std::min(l, p.x()), r = std::max(r, p.x()), t = std::min(t, p.y()), b = std::max(b, p.y());
    l -= widen, t -= widen, r += widen, b += widen;
    QImage dot(1, 1, QImage::Format_RGB32);
    dot.setPixel(0, 0, color | 0xff000000);
    appendPicture(dot, QPointF(l, t), QPointF(r, t), QPointF(l, b), opacity);
    record(RestoreDc, {std::uint32_t(-1)});
}

void EmfRecordWriter::appendPicture(const QImage &image, QPointF topLeft, QPointF topRight, QPointF bottomLeft,
                                    double opacity) {
    int n = 0;
    m_body += EmfPictureRecords::Plain(image, {topLeft, topRight, bottomLeft}, opacity, &n);
    m_records += n;
}

QByteArray EmfRecordWriter::textRecord(QPointF origin, const QString &text, const std::vector<double> &advances,
                                       bool rightToLeft) const {
    const Point o = logical(origin);
    const auto n = std::uint32_t(text.size());
    const std::uint32_t stringBytes = (2 * n + 3) & ~3u;
    // Right-to-left text has no spacing: readers take it in different orders (Wine's GDI as seen, the office as
    // read) and shape Arabic letters anew, so each lays the run out in the font it names, from the left end.
    const std::uint32_t dxBytes = rightToLeft ? 0 : 4 * n;
    // libuemf, Inkscape's reader, wants room for a spacing array even at offset 0, which says there is none: a
    // long right-to-left run is padded to it, or Inkscape opens no file that holds one.
    const std::uint32_t size = std::max(76 + stringBytes + dxBytes, dxBytes ? 0 : 4 * n);
    QByteArray rec;
    put32(rec, ExtTextOutW);
    put32(rec, size);
    for (int i = 0; i < 4; ++i)
        put32(rec, 0); // bounds: not computed, as readers ignore them
    put32(rec, 2);     // advanced graphics mode: the font turns with its escapement
    putFloat(rec, 0);
    putFloat(rec, 0);
    put32(rec, std::uint32_t(o.x));
    put32(rec, std::uint32_t(o.y));
    put32(rec, n);
    put32(rec, 76);
    put32(rec, rightToLeft ? 0x80u : 0u); // reads right to left; no rectangle, no glyph indices
    for (int i = 0; i < 4; ++i)
        put32(rec, 0);
    put32(rec, dxBytes ? 76 + stringBytes : 0);
    const qsizetype at = rec.size();
    rec.resize(at + stringBytes);
    std::memset(rec.data() + at, 0, stringBytes);
    for (std::uint32_t i = 0; i < n; ++i)
        qToLittleEndian<quint16>(text.at(i).unicode(), rec.data() + at + 2 * i);
    // Advances rounded so that their sum stays on the glyphs' own positions.
    double exact = 0;
    std::int64_t placed = 0;
    for (std::uint32_t i = 0; i < n && dxBytes; ++i) {
        exact += (i < advances.size() ? advances[i] : 0) * kUnitsPerPoint;
        const std::int64_t next = std::llround(exact);
        put32(rec, std::uint32_t(std::int32_t(next - placed)));
        placed = next;
    }
    rec.append(qsizetype(size) - rec.size(), '\0');
    return rec;
}

void EmfRecordWriter::Text(const Font &font, QRgb color, QPointF origin, const QString &text,
                           const std::vector<double> &advances, bool rightToLeft) {
    if (text.isEmpty())
        return;
    selectFont(font);
    setTextColor(color);
    raw(textRecord(origin, text, advances, rightToLeft));
}

void EmfRecordWriter::TranslucentText(const Font &font, QRgb color, double opacity, QRgb blended, QPointF origin,
                                      const QString &text, const std::vector<double> &advances) {
    if (text.isEmpty() || opacity <= 0.002)
        return;
    // EMF+ text has its places along x only; a turned run is the blended colour for every reader.
    if (!m_plus || std::abs(font.escapement) > 0.01) {
        Text(font, blended, origin, text, advances);
        return;
    }
    const auto alpha = QRgb(std::lround(std::clamp(opacity, 0.0, 1.0) * 255));
    plusRecords(EmfPlusText::Records(font, (color & 0xFFFFFFu) | alpha << 24, origin, text, advances, m_clip));
    // What GDI-only readers draw instead, which EMF+ readers pass over (no GetDC before it): complete in itself,
    // the device context as it was afterwards, so that the writer's idea of it holds for both kinds of reader.
    const std::uint32_t h = newObject();
    QByteArray gdi;
    put32(gdi, SaveDc);
    put32(gdi, 8);
    gdi += fontRecord(h, font);
    for (std::uint32_t v : {std::uint32_t(SelectObject), 12u, h, std::uint32_t(SetTextColor), 12u, colorRef(blended)})
        put32(gdi, v);
    gdi += textRecord(origin, text, advances);
    for (std::uint32_t v : {std::uint32_t(RestoreDc), 12u, std::uint32_t(-1), std::uint32_t(DeleteObject), 12u, h})
        put32(gdi, v);
    m_body += gdi;
    m_records += 7;
    m_free.push_back(h);
}

void EmfRecordWriter::Picture(const QImage &image, QPointF topLeft, QPointF topRight, QPointF bottomLeft,
                              double opacity, const QByteArray &jpeg, std::uint64_t key) {
    if (!m_plus || opacity < 0.998 || image.isNull()) {
        plainRun();
        appendPicture(image, topLeft, topRight, bottomLeft, opacity);
        return;
    }
    // EMF+ records, then what GDI-only readers draw instead, which EMF+ readers pass over (no GetDC before it).
    m_holes.push_back({m_body.size(), QByteArray(), 0});
    m_late.push_back({int(m_holes.size() - 1), image, jpeg, key, topLeft, topRight, bottomLeft, m_clip});
    m_inPlainRun = false;
}

void EmfRecordWriter::makePicture(const LatePicture &p, PictureCache *cache) {
    QByteArray compressed = p.image.hasAlphaChannel() ? QByteArray() : p.jpeg;
    if (compressed.isEmpty() && cache && p.key) {
        std::lock_guard lock(cache->lock);
        auto it = cache->compressed.find(p.key);
        if (it != cache->compressed.end())
            compressed = it->second;
    }
    if (compressed.isEmpty()) {
        compressed = EmfPictureRecords::Png(p.image);
        if (cache && p.key && !compressed.isEmpty()) {
            std::lock_guard lock(cache->lock);
            // Kept while they stay a modest share of memory; a deck of many large pictures starts afresh.
            if (cache->bytes + compressed.size() > (qsizetype(1) << 28)) {
                cache->compressed.clear();
                cache->bytes = 0;
            }
            cache->bytes += compressed.size();
            cache->compressed.emplace(p.key, compressed);
        }
    }
    const EmfPictureRecords::Placement at{p.topLeft, p.topRight, p.bottomLeft};
    QByteArray records;
    int count = 0;
    for (const QByteArray &r : EmfPictureRecords::Plus(p.image, compressed, at, p.clip)) {
        records += PlusComment(r);
        ++count;
    }
    int n = 0;
    records += EmfPictureRecords::Plain(EmfPictureRecords::ForGdi(p.image, at), at, 1.0, &n);
    m_holes[std::size_t(p.hole)].records = records;
    m_holes[std::size_t(p.hole)].count = count + n;
}

int EmfRecordWriter::Placeholder() {
    plainRun(); // what goes in later is plain records, which EMF+ readers must draw too
    m_holes.push_back({m_body.size(), QByteArray(), 0});
    return int(m_holes.size() - 1);
}

void EmfRecordWriter::FillPlaceholder(int placeholder, const QByteArray &records, int count) {
    if (placeholder >= 0 && std::size_t(placeholder) < m_holes.size()) {
        m_holes[std::size_t(placeholder)].records = records;
        m_holes[std::size_t(placeholder)].count = count;
    }
}

QByteArray EmfRecordWriter::Finish(PictureCache *cache) {
    for (const LatePicture &p : m_late)
        makePicture(p, cache);
    m_late.clear();
    QByteArray body = m_body;
    int records = m_records;
    // From the last: earlier offsets stay where they are.
    for (auto it = m_holes.rbegin(); it != m_holes.rend(); ++it) {
        body.insert(it->offset, it->records);
        records += it->count;
    }
    if (m_plus) {
        body += PlusComment(PlusRecord(PlusEndOfFile, 0, QByteArray()));
        ++records;
    }
    put32(body, Eof);
    put32(body, 20);
    put32(body, 0);
    put32(body, 16);
    put32(body, 20);
    ++records;

    const Point size = logical(QPointF(m_width, m_height));
    const std::int32_t deviceW = std::max(1, ToDevice(size.x)), deviceH = std::max(1, ToDevice(size.y));
    static const QString description = QStringLiteral("Quillon Converter");
    QByteArray text((description.size() + 1) * 2, '\0');
    for (qsizetype i = 0; i < description.size(); ++i)
        qToLittleEndian<quint16>(description.at(i).unicode(), text.data() + 2 * i);
    while (text.size() % 4)
        text.append('\0');
    QByteArray header;
    put32(header, Header);
    put32(header, std::uint32_t(108 + text.size()));
    for (std::int32_t v : {0, 0, deviceW - 1, deviceH - 1, 0, 0, size.x - 1, size.y - 1})
        put32(header, std::uint32_t(v));
    put32(header, kSignature);
    put32(header, 0x10000);
    put32(header, 0); // bytes: below
    put32(header, std::uint32_t(records + 1));
    header.append(char(std::min<std::uint32_t>(m_handles, 0xFFFF) & 0xFF));
    header.append(char(std::min<std::uint32_t>(m_handles, 0xFFFF) >> 8));
    header.append(2, '\0');
    // The reference device: a display of exactly 96 pixels an inch, 100 inches a side. Its size in whole
    // millimetres and pixels gives readers the scale; the picture's own size, in whole millimetres, would be off
    // by up to one in its count (3 % on a 3 cm slide).
    for (std::uint32_t v :
         {std::uint32_t(description.size() + 1), 108u, 0u, 9600u, 9600u, 2540u, 2540u, 0u, 0u, 0u, 2540000u, 2540000u})
        put32(header, v);
    header += text;
    QByteArray out = header + body;
    set32(out, 48, std::uint32_t(out.size()));
    return out;
}
