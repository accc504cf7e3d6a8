#include "engine/lxEmfFile.h"
#include "engine/lxFileName.h"

#include <QCryptographicHash>
#include <QFile>
#include <QtEndian>

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace {
// Record types that matter here.
enum : quint32 {
    EmrHeader = 1,
    EmrEof = 14,
    EmrSaveDc = 33,
    EmrRestoreDc = 34,
    EmrComment = 70,
    EmrStretchDiBits = 81,
    EmrAlphaBlend = 114,
};
// Raster operations of the bitmap records.
constexpr quint32 kSrcCopy = 0x00CC0020;
constexpr quint32 kSrcPaint = 0x00EE0086;
constexpr quint32 kSrcAnd = 0x008800C6;
constexpr qsizetype kStretchDiBitsFixed = 80; // the record up to its bitmap header
constexpr qsizetype kAlphaBlendFixed = 108;
constexpr qsizetype kBitmapInfoHeader = 40;
constexpr quint32 kEmfSignature = 0x464D4520; // " EMF"
constexpr quint32 kEmfPlusId = 0x2B464D45;    // "EMF+" at the start of a comment's data
constexpr quint16 kEmfPlusHeader = 0x4001;
constexpr quint16 kEmfPlusEof = 0x4002;
constexpr qsizetype kMinHeader = 88;
constexpr quint32 kStockObject = 0x80000000u;

quint32 u32(const char *p) {
    return qFromLittleEndian<quint32>(p);
}
qint32 i32(const char *p) {
    return qFromLittleEndian<qint32>(p);
}
void putU32(char *p, quint32 v) {
    qToLittleEndian<quint32>(v, p);
}

// Where a record keeps the index of the object it creates, selects or deletes (bytes from its start), or 0.
int handleOffset(quint32 type) {
    switch (type) {
    case 37:  // SELECTOBJECT
    case 38:  // CREATEPEN
    case 39:  // CREATEBRUSHINDIRECT
    case 40:  // DELETEOBJECT
    case 48:  // SELECTPALETTE
    case 49:  // CREATEPALETTE
    case 50:  // SETPALETTEENTRIES
    case 51:  // RESIZEPALETTE
    case 82:  // EXTCREATEFONTINDIRECTW
    case 93:  // CREATEMONOBRUSH
    case 94:  // CREATEDIBPATTERNBRUSHPT
    case 95:  // EXTCREATEPEN
    case 99:  // CREATECOLORSPACE
    case 100: // SETCOLORSPACE
    case 101: // DELETECOLORSPACE
    case 122: // CREATECOLORSPACEW
        return 8;
    case 71: // FILLRGN: bounds, region size, then the brush
    case 72: // FRAMERGN
        return 28;
    default:
        return 0;
    }
}

struct Part {
    const char *data = nullptr;
    qsizetype size = 0;
    qsizetype headerSize = 0;
    quint16 handles = 0;
};

// A comment without the EMF+ header and end records (only the first part's header and one end record may
// stand in the file), or the comment unchanged when it holds no EMF+ records. Empty when nothing is left.
QByteArray withoutPlusFrame(const char *rec, quint32 size) {
    if (size < 16 || u32(rec + 12) != kEmfPlusId)
        return QByteArray(rec, size);
    const quint32 dataSize = std::min<quint32>(u32(rec + 8), size - 12);
    QByteArray kept;
    quint32 p = 16;
    const quint32 end = 12 + dataSize;
    bool dropped = false;
    while (p + 12 <= end) {
        const quint16 type = qFromLittleEndian<quint16>(rec + p);
        const quint32 recSize = u32(rec + p + 4);
        // Compared so that a size near 4 GB cannot wrap around.
        if (recSize < 12 || recSize > end - p)
            return dropped ? QByteArray() : QByteArray(rec, size); // not ours to repair
        if (type == kEmfPlusHeader || type == kEmfPlusEof)
            dropped = true;
        else
            kept.append(rec + p, recSize);
        p += recSize;
    }
    if (!dropped)
        return QByteArray(rec, size);
    if (kept.isEmpty())
        return QByteArray();
    QByteArray out(16, '\0');
    putU32(out.data(), EmrComment);
    putU32(out.data() + 8, quint32(kept.size() + 4));
    putU32(out.data() + 12, kEmfPlusId);
    out.append(kept);
    while (out.size() % 4)
        out.append('\0');
    putU32(out.data() + 4, quint32(out.size()));
    return out;
}

bool isPlusHeaderComment(const char *rec, quint32 size) {
    return size >= 20 && u32(rec) == EmrComment && u32(rec + 12) == kEmfPlusId &&
           qFromLittleEndian<quint16>(rec + 16) == kEmfPlusHeader;
}

QByteArray record(quint32 type, std::initializer_list<quint32> words) {
    QByteArray r(int(8 + 4 * words.size()), '\0');
    putU32(r.data(), type);
    putU32(r.data() + 4, quint32(r.size()));
    int at = 8;
    for (quint32 w : words) {
        putU32(r.data() + at, w);
        at += 4;
    }
    return r;
}
} // namespace

QString TlxEmfFile::Check(QByteArrayView data) {
    const char *d = data.data();
    const qsizetype n = data.size();
    if (n < kMinHeader || u32(d) != EmrHeader)
        return QStringLiteral("it does not begin with an EMF header");
    if (u32(d + 40) != kEmfSignature)
        return QStringLiteral("the header has no EMF signature");
    const quint32 headerSize = u32(d + 4);
    if (headerSize < kMinHeader || headerSize % 4 || headerSize > quint64(n))
        return QStringLiteral("the header has an impossible size (%1 bytes)").arg(headerSize);
    if (u32(d + 48) != quint64(n))
        return QStringLiteral("the header gives %1 bytes, the file has %2").arg(u32(d + 48)).arg(n);
    qsizetype off = 0;
    qsizetype count = 0;
    quint32 lastType = 0;
    while (off < n) {
        if (n - off < 8)
            return QStringLiteral("record %1 is cut off at byte %2").arg(count + 1).arg(off);
        if (lastType == EmrEof)
            return QStringLiteral("the end record at record %1 is followed by more data").arg(count);
        const quint32 type = u32(d + off);
        const quint32 size = u32(d + off + 4);
        if (size < 8 || size % 4)
            return QStringLiteral("record %1 at byte %2 has an impossible size (%3)").arg(count + 1).arg(off).arg(size);
        if (size > quint64(n - off))
            return QStringLiteral("record %1 at byte %2 runs past the end of the file").arg(count + 1).arg(off);
        lastType = type;
        off += size;
        ++count;
    }
    if (lastType != EmrEof)
        return QStringLiteral("the last record is not the end record");
    return QString();
}

QString TlxEmfFile::CheckFile(const QString &path) {
    QFile file;
    QString error;
    if (!TlxFileName::Open(file, path, QIODevice::ReadOnly, &error))
        return QStringLiteral("it cannot be read (%1)").arg(error);
    const qint64 size = file.size();
    if (size <= 0)
        return QStringLiteral("it is empty");
    // Mapped, so that only the record headers are read from a file of large pictures.
    QByteArray read;
    QByteArrayView data;
    if (const uchar *mapped = file.map(0, size)) {
        data = QByteArrayView(reinterpret_cast<const char *>(mapped), size);
    } else {
        read = file.readAll();
        data = read;
    }
    if (!IsGzip(data))
        return Check(data);
    error.clear();
    const QByteArray inner = Gunzip(data, &error);
    return error.isEmpty() ? Check(inner) : QStringLiteral("its compressed data is damaged (%1)").arg(error);
}

QByteArray TlxEmfFile::Gzip(QByteArrayView data) {
    z_stream z{};
    // 15 window bits plus 16: a gzip header and trailer, not zlib's own.
    if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return QByteArray();
    QByteArray out;
    out.resize(qsizetype(deflateBound(&z, uLong(data.size()))) + 64);
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.data()));
    z.avail_in = uInt(data.size());
    z.next_out = reinterpret_cast<Bytef *>(out.data());
    z.avail_out = uInt(out.size());
    const int rc = deflate(&z, Z_FINISH);
    const qsizetype written = qsizetype(z.total_out);
    deflateEnd(&z);
    if (rc != Z_STREAM_END)
        return QByteArray();
    out.truncate(written);
    return out;
}

QByteArray TlxEmfFile::Gunzip(QByteArrayView data, QString *error, qint64 maxBytes) {
    z_stream z{};
    if (inflateInit2(&z, 15 + 16) != Z_OK) {
        *error = QStringLiteral("zlib cannot start");
        return QByteArray();
    }
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.data()));
    z.avail_in = uInt(data.size());
    QByteArray out;
    int rc = Z_OK;
    while (rc == Z_OK) {
        if (qint64(out.size()) >= maxBytes) {
            rc = Z_MEM_ERROR;
            break;
        }
        const qsizetype done = out.size();
        const qsizetype chunk = qsizetype(std::min<qint64>(maxBytes - done, std::max<qint64>(done, 1 << 16)));
        out.resize(done + chunk);
        z.next_out = reinterpret_cast<Bytef *>(out.data() + done);
        z.avail_out = uInt(chunk);
        rc = inflate(&z, Z_NO_FLUSH);
        out.resize(done + chunk - qsizetype(z.avail_out));
        if (rc == Z_BUF_ERROR && z.avail_in > 0)
            rc = Z_OK; // only the output was full
    }
    const bool whole = rc == Z_STREAM_END && z.avail_in == 0;
    inflateEnd(&z);
    if (!whole) {
        *error = rc == Z_MEM_ERROR    ? QStringLiteral("larger than %1 bytes").arg(maxBytes)
                 : rc == Z_STREAM_END ? QStringLiteral("bytes after its end")
                                      : QStringLiteral("cut short or not gzip");
        return QByteArray();
    }
    return out;
}

QByteArray TlxEmfFile::Compose(const QList<QByteArrayView> &input, QString *error) {
    QList<Part> parts;
    qsizetype total = 0;
    for (qsizetype i = 0; i < input.size(); ++i) {
        const QString why = Check(input.at(i));
        if (!why.isEmpty()) {
            if (error)
                *error = QStringLiteral("part %1 is not a complete EMF: %2").arg(i + 1).arg(why);
            return QByteArray();
        }
        Part p;
        p.data = input.at(i).data();
        p.size = input.at(i).size();
        p.headerSize = u32(p.data + 4);
        p.handles = qFromLittleEndian<quint16>(p.data + 56);
        parts << p;
        total += p.size;
    }
    if (parts.isEmpty()) {
        if (error)
            *error = QStringLiteral("nothing to compose");
        return QByteArray();
    }
    if (parts.size() == 1)
        return QByteArray(input.first().data(), input.first().size());

    const Part &base = parts.last();
    QByteArray out;
    out.reserve(total + 64 * parts.size());
    out.append(base.data, base.headerSize);
    quint32 records = 1;
    auto add = [&](const char *rec, qsizetype size) {
        out.append(rec, size);
        ++records;
    };

    // The first part that speaks EMF+ gives the one EMF+ header, right after the EMF header, as readers expect.
    bool plus = false;
    for (const Part &p : parts) {
        const char *first = p.data + p.headerSize;
        if (p.headerSize + 8 <= p.size && isPlusHeaderComment(first, u32(first + 4))) {
            const QByteArray header(first, u32(first + 4));
            // Only the header record itself: whatever else the comment held belongs to its part.
            const quint32 plusSize = header.size() >= 24 ? u32(first + 20) : 0;
            if (plusSize >= 12 && plusSize <= quint32(header.size()) - 16) {
                QByteArray rec = header.left(16 + plusSize);
                while (rec.size() % 4)
                    rec.append('\0');
                putU32(rec.data() + 4, quint32(rec.size()));
                putU32(rec.data() + 8, plusSize + 4);
                add(rec.constData(), rec.size());
                plus = true;
            }
            break;
        }
    }

    qint32 bounds[4] = {INT_MAX, INT_MAX, INT_MIN, INT_MIN};
    quint32 handleBase = 0;
    for (const Part &p : parts) {
        // Bounds of an empty drawing come as right < left; they add nothing.
        const qint32 l = i32(p.data + 8), t = i32(p.data + 12), r = i32(p.data + 16), b = i32(p.data + 20);
        if (r >= l && b >= t) {
            bounds[0] = std::min(bounds[0], l);
            bounds[1] = std::min(bounds[1], t);
            bounds[2] = std::max(bounds[2], r);
            bounds[3] = std::max(bounds[3], b);
        }
        const QByteArray save = record(EmrSaveDc, {});
        add(save.constData(), save.size());
        qint64 depth = 0;
        qsizetype off = p.headerSize;
        while (off < p.size) {
            const char *rec = p.data + off;
            const quint32 type = u32(rec);
            const quint32 size = u32(rec + 4);
            off += size;
            if (type == EmrEof)
                break;
            if (type == EmrComment) {
                const QByteArray kept = withoutPlusFrame(rec, size);
                if (!kept.isEmpty())
                    add(kept.constData(), kept.size());
                continue;
            }
            if (type == EmrSaveDc)
                ++depth;
            else if (type == EmrRestoreDc && size >= 12)
                depth = std::max<qint64>(0, depth + (i32(rec + 8) < 0 ? i32(rec + 8) : -depth));
            const int at = handleOffset(type);
            if (at && handleBase && size >= quint32(at + 4)) {
                const quint32 handle = u32(rec + at);
                if (handle != 0 && !(handle & kStockObject)) {
                    const qsizetype pos = out.size();
                    add(rec, size);
                    putU32(out.data() + pos + at, handle + handleBase);
                    continue;
                }
            }
            add(rec, size);
        }
        // Back to the state before this part, also when the part left some of its own saves open.
        const QByteArray restore = record(EmrRestoreDc, {quint32(-qint32(depth + 1))});
        add(restore.constData(), restore.size());
        if (p.handles > 1)
            handleBase += p.handles - 1u;
    }

    if (plus) {
        QByteArray eof(28, '\0');
        putU32(eof.data(), EmrComment);
        putU32(eof.data() + 4, 28);
        putU32(eof.data() + 8, 16);
        putU32(eof.data() + 12, kEmfPlusId);
        qToLittleEndian<quint16>(kEmfPlusEof, eof.data() + 16);
        qToLittleEndian<quint16>(0, eof.data() + 18);
        putU32(eof.data() + 20, 12);
        putU32(eof.data() + 24, 0);
        add(eof.constData(), eof.size());
    }
    // nPalEntries, offPalEntries, nSizeLast: no palette.
    const QByteArray eof = record(EmrEof, {0, 16, 20});
    add(eof.constData(), eof.size());

    char *h = out.data();
    if (bounds[0] <= bounds[2]) {
        for (int i = 0; i < 4; ++i)
            putU32(h + 8 + 4 * i, quint32(bounds[i]));
    }
    putU32(h + 48, quint32(out.size()));
    putU32(h + 52, records);
    const quint32 handles = std::min<quint32>(0xFFFF, handleBase + 1);
    qToLittleEndian<quint16>(quint16(handles), h + 56);
    putU32(h + 68, 0); // nPalEntries: the end record carries none
    return out;
}

QByteArray TlxEmfFile::PictureLayer(const QImage &picture, QRect area, QSize page) {
    area &= QRect(QPoint(0, 0), page);
    if (area.isEmpty() || picture.isNull())
        return QByteArray();
    // The picture's pixels that cover the area, rounded outwards.
    const double sx = double(picture.width()) / page.width(), sy = double(picture.height()) / page.height();
    const QRect pixels =
        QRect(QPoint(int(area.left() * sx), int(area.top() * sy)),
              QPoint(int(std::ceil((area.right() + 1) * sx)) - 1, int(std::ceil((area.bottom() + 1) * sy)) - 1)) &
        picture.rect();
    const QImage part = picture.copy(pixels).convertToFormat(QImage::Format_RGB888).mirrored(); // rows bottom up
    // Back to the page: the place the pixels taken cover.
    const qint32 x = qint32(pixels.left() / sx), y = qint32(pixels.top() / sy);
    const qint32 w = std::max<qint32>(1, qint32((pixels.right() + 1) / sx) - x);
    const qint32 h = std::max<qint32>(1, qint32((pixels.bottom() + 1) / sy) - y);
    const quint32 stride = (quint32(part.width()) * 3 + 3) & ~3u;
    const quint32 bits = stride * quint32(part.height());
    const auto device = [](qint32 v) { return qint32(qint64(v) * 96 / 2540); };
    const QRect bounds(QPoint(device(x), device(y)), QPoint(device(x + w) - 1, device(y + h) - 1));

    QByteArray body;
    body += record(17, {8});         // SETMAPMODE: anisotropic
    body += record(9, {2540, 2540}); // SETWINDOWEXTEX: an inch in hundredths of a millimetre
    body += record(11, {96, 96});    // SETVIEWPORTEXTEX: an inch in pixels
    QByteArray r =
        record(81, {quint32(bounds.left()), quint32(bounds.top()), quint32(bounds.right()), quint32(bounds.bottom()),
                    quint32(x), quint32(y), 0, 0, quint32(part.width()), quint32(part.height()), 80, 40, 120, bits,
                    0 /* DIB_RGB_COLORS */, 0x00CC0020 /* SRCCOPY */, quint32(w), quint32(h)});
    // The bitmap's header: its size, one plane of 24 bits a pixel, uncompressed, 96 pixels an inch.
    QByteArray info(40, '\0');
    int field = 0;
    for (quint32 v :
         {40u, quint32(part.width()), quint32(part.height()), 1 | (24u << 16), 0u, bits, 3780u, 3780u, 0u, 0u})
        putU32(info.data() + 4 * field++, v);
    r += info;
    const qsizetype at = r.size();
    r.resize(at + qsizetype(bits));
    for (int row = 0; row < part.height(); ++row) {
        // RGB888 holds red first; a DIB wants blue first.
        const uchar *from = part.constScanLine(row);
        char *to = r.data() + at + qsizetype(row) * stride;
        for (int col = 0; col < part.width(); ++col) {
            to[3 * col] = char(from[3 * col + 2]);
            to[3 * col + 1] = char(from[3 * col + 1]);
            to[3 * col + 2] = char(from[3 * col]);
        }
        std::memset(to + 3 * part.width(), 0, stride - 3 * quint32(part.width()));
    }
    putU32(r.data() + 4, quint32(r.size()));
    body += r;
    body += record(14, {0, 16, 20}); // EOF: no palette

    const qint32 deviceW = std::max(1, device(page.width())), deviceH = std::max(1, device(page.height()));
    int records = 1;
    for (qsizetype off = 0; off < body.size(); off += u32(body.constData() + off + 4))
        ++records;
    const QByteArray header = record(1, {quint32(bounds.left()),
                                         quint32(bounds.top()),
                                         quint32(bounds.right()),
                                         quint32(bounds.bottom()),
                                         0,
                                         0,
                                         quint32(page.width() - 1),
                                         quint32(page.height() - 1),
                                         kEmfSignature,
                                         0x10000,
                                         quint32(108 + body.size()),
                                         quint32(records),
                                         1 /* handles: the reserved one */,
                                         0,
                                         0,
                                         0,
                                         quint32(deviceW),
                                         quint32(deviceH),
                                         quint32(page.width() / 100),
                                         quint32(page.height() / 100),
                                         0,
                                         0,
                                         0,
                                         quint32(page.width()) * 10,
                                         quint32(page.height()) * 10});
    return header + body;
}

namespace {
// A STRETCHDIBITS record's place on the page and its bitmap's size; false for anything else.
struct Blit {
    qint32 x = 0, y = 0, cx = 0, cy = 0; // destination, in logical units
    qint32 width = 0, height = 0;        // the bitmap's pixels
    quint32 rop = 0;
};

bool blitOf(const char *rec, quint32 size, Blit *b) {
    if (u32(rec) != EmrStretchDiBits || size < kStretchDiBitsFixed)
        return false;
    const quint32 offBmi = u32(rec + 48), cbBmi = u32(rec + 52);
    if (cbBmi < kBitmapInfoHeader || offBmi > size || cbBmi > size - offBmi)
        return false;
    b->x = i32(rec + 24);
    b->y = i32(rec + 28);
    b->rop = u32(rec + 68);
    b->cx = i32(rec + 72);
    b->cy = i32(rec + 76);
    // A bottom-up bitmap gives a positive height, a top-down one a negative height.
    const qint64 height = i32(rec + offBmi + 8);
    b->width = i32(rec + offBmi + 4);
    b->height = int(std::min<qint64>(height < 0 ? -height : height, INT_MAX));
    return b->width > 0 && b->height > 0;
}

// The mask and masked picture of one picture: a SRCPAINT bitmap followed by a SRCAND one of the same size at the
// same place.
bool maskedPair(const char *a, quint32 aSize, const char *b, quint32 bSize, Blit *blit) {
    Blit mask, picture;
    if (!blitOf(a, aSize, &mask) || !blitOf(b, bSize, &picture) || mask.rop != kSrcPaint || picture.rop != kSrcAnd)
        return false;
    if (mask.x != picture.x || mask.y != picture.y || mask.cx != picture.cx || mask.cy != picture.cy ||
        mask.width != picture.width || mask.height != picture.height)
        return false;
    *blit = picture;
    return true;
}

void putI32(char *p, qint32 v) {
    qToLittleEndian<qint32>(v, p);
}

// The bitmap header and bottom-up rows of a picture: 24 bits a pixel when it is opaque, else 32 bits with the
// colours premultiplied by alpha, as alpha blending takes them.
QByteArray dibOf(const TlxEmfFile::Picture &picture, bool opaque) {
    const int w = picture.width, h = picture.height;
    const qsizetype stride = opaque ? (qsizetype(w) * 3 + 3) & ~qsizetype(3) : qsizetype(w) * 4;
    QByteArray dib(kBitmapInfoHeader + stride * h, '\0');
    char *d = dib.data();
    putU32(d, kBitmapInfoHeader);
    putI32(d + 4, w);
    putI32(d + 8, h);
    qToLittleEndian<quint16>(1, d + 12);
    qToLittleEndian<quint16>(opaque ? 24 : 32, d + 14);
    putU32(d + 20, quint32(stride * h));
    const uchar *src = reinterpret_cast<const uchar *>(picture.bgra.constData());
    for (int row = 0; row < h; ++row) {
        const uchar *in = src + qsizetype(h - 1 - row) * w * 4;
        uchar *out = reinterpret_cast<uchar *>(d + kBitmapInfoHeader + stride * row);
        for (int x = 0; x < w; ++x, in += 4) {
            if (opaque) {
                *out++ = in[0];
                *out++ = in[1];
                *out++ = in[2];
            } else {
                const unsigned a = in[3];
                *out++ = uchar((in[0] * a + 127) / 255);
                *out++ = uchar((in[1] * a + 127) / 255);
                *out++ = uchar((in[2] * a + 127) / 255);
                *out++ = uchar(a);
            }
        }
    }
    return dib;
}

// One record that draws picture where the pair drew it; bounds are the pair's.
QByteArray pictureRecord(const char *bounds, const Blit &at, const TlxEmfFile::Picture &picture) {
    bool opaque = true;
    for (qsizetype i = 3; opaque && i < picture.bgra.size(); i += 4)
        opaque = uchar(picture.bgra.at(i)) == 255;
    const QByteArray dib = dibOf(picture, opaque);
    const qsizetype fixed = opaque ? kStretchDiBitsFixed : kAlphaBlendFixed;
    QByteArray r(fixed, '\0');
    char *p = r.data();
    putU32(p, opaque ? EmrStretchDiBits : EmrAlphaBlend);
    std::memcpy(p + 8, bounds, 16);
    if (opaque) {
        putI32(p + 24, at.x);
        putI32(p + 28, at.y);
        putI32(p + 40, picture.width);  // cxSrc
        putI32(p + 44, picture.height); // cySrc
        putU32(p + 48, quint32(fixed)); // the bitmap header right after the record's fields
        putU32(p + 52, kBitmapInfoHeader);
        putU32(p + 56, quint32(fixed + kBitmapInfoHeader));
        putU32(p + 60, quint32(dib.size() - kBitmapInfoHeader));
        putU32(p + 68, kSrcCopy);
        putI32(p + 72, at.cx);
        putI32(p + 76, at.cy);
    } else {
        putI32(p + 24, at.x);
        putI32(p + 28, at.y);
        putI32(p + 32, at.cx);
        putI32(p + 36, at.cy);
        // Source over, no constant alpha, the bitmap's own alpha per pixel.
        p[40] = 0;
        p[41] = 0;
        p[42] = char(255);
        p[43] = 1;
        const float identity[6] = {1, 0, 0, 1, 0, 0};
        for (int i = 0; i < 6; ++i) {
            quint32 bits;
            std::memcpy(&bits, &identity[i], 4);
            putU32(p + 52 + 4 * i, bits);
        }
        putU32(p + 84, quint32(fixed));
        putU32(p + 88, kBitmapInfoHeader);
        putU32(p + 92, quint32(fixed + kBitmapInfoHeader));
        putU32(p + 96, quint32(dib.size() - kBitmapInfoHeader));
        putI32(p + 100, picture.width);
        putI32(p + 104, picture.height);
    }
    r.append(dib);
    while (r.size() % 4)
        r.append('\0');
    putU32(r.data() + 4, quint32(r.size()));
    return r;
}
// Whether picture holds exactly the pixels of a w x h picture.
bool holdsPixels(const TlxEmfFile::Picture &picture, int w, int h) {
    return picture.width == w && picture.height == h && w > 0 && h > 0 && picture.bgra.size() % 4 == 0 &&
           picture.bgra.size() / 4 == qsizetype(w) * h;
}
} // namespace

namespace {
// The masked pair that starts with the record at off (the next record the second of the pair), with its size
// and the digest of its mask's bitmap header, palette and bits; false when none starts there.
bool maskedPairAt(const char *d, qsizetype end, qsizetype off, TlxEmfFile::MaskedPicture *pair, Blit *blit) {
    const quint32 size = u32(d + off + 4);
    const qsizetype next = off + size;
    if (next >= end || !maskedPair(d + off, size, d + next, u32(d + next + 4), blit))
        return false;
    const quint32 offBmi = u32(d + off + 48);
    *pair = {QSize(blit->width, blit->height),
             QCryptographicHash::hash(QByteArrayView(d + off + offBmi, size - offBmi), QCryptographicHash::Sha1)};
    return true;
}
} // namespace

QList<TlxEmfFile::MaskedPicture> TlxEmfFile::MaskedPictures(QByteArrayView data) {
    QList<MaskedPicture> pairs;
    if (!Check(data).isEmpty())
        return pairs;
    const char *d = data.data();
    qsizetype off = u32(d + 4);
    while (off < data.size()) {
        MaskedPicture pair;
        Blit blit;
        if (maskedPairAt(d, data.size(), off, &pair, &blit))
            pairs.append(pair);
        off += u32(d + off + 4);
    }
    return pairs;
}

const TlxEmfFile::Picture *TlxEmfFile::OnlyPictureOfSize(const QList<Picture> &pictures, QSize size) {
    const Picture *found = nullptr;
    for (const Picture &p : pictures) {
        if (!holdsPixels(p, size.width(), size.height()))
            continue;
        if (found && found->bgra != p.bgra)
            return nullptr;
        found = &p;
    }
    return found;
}

QByteArray TlxEmfFile::ReplaceMaskedPictures(QByteArrayView data,
                                             const std::function<const Picture *(const MaskedPicture &)> &pictureFor,
                                             int *replaced) {
    int count = 0;
    if (replaced)
        *replaced = 0;
    if (!Check(data).isEmpty())
        return data.toByteArray();
    const char *d = data.data();
    const qsizetype headerSize = u32(d + 4);
    QByteArray out(d, headerSize);
    quint32 records = 1;
    qsizetype off = headerSize;
    while (off < data.size()) {
        const quint32 size = u32(d + off + 4);
        const qsizetype next = off + size;
        Blit blit;
        MaskedPicture pair;
        if (maskedPairAt(d, data.size(), off, &pair, &blit)) {
            const Picture *picture = pictureFor(pair);
            if (picture && holdsPixels(*picture, blit.width, blit.height)) {
                out.append(pictureRecord(d + next + 8, blit, *picture));
                ++records;
                ++count;
                off = next + u32(d + next + 4);
                continue;
            }
        }
        out.append(d + off, size);
        ++records;
        off = next;
    }
    if (count == 0)
        return data.toByteArray();
    putU32(out.data() + 48, quint32(out.size()));
    putU32(out.data() + 52, records);
    if (replaced)
        *replaced = count;
    return out;
}
