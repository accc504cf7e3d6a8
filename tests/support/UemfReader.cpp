#include "UemfReader.h"

#include "render/lxEmfFile.h"

#include <uemf.h>
#include <uemf_safe.h>
#include <upmf.h>

#include <QtEndian>

#include <map>

namespace {
constexpr quint32 kPlusId = 0x2B464D45; // "EMF+" at the start of a comment's data

quint32 u32(const char *p) {
    return qFromLittleEndian<quint32>(p);
}

// The EMF+ records of one file, read in order: the objects defined so far and the parts of continued ones.
class PlusWalk {
public:
    QString Records(const char *data, quint32 size);

private:
    QString record(const char *rec, const U_PMF_CMN_HDR &h);
    QString object(const char *rec, const U_PMF_CMN_HDR &h);
    QString defineObject(quint32 id, int type, const char *data, const char *end);
    QString drawImage(const char *rec);
    QString drawText(const char *rec);
    std::map<quint32, int> m_objects;      // slot -> object type
    std::map<quint32, QByteArray> m_parts; // slot -> the parts of a continued object so far
    std::map<quint32, quint32> m_total;    // slot -> the whole continued object's size
};

QString PlusWalk::Records(const char *data, quint32 size) {
    const char *p = data, *end = data + size;
    while (p < end) {
        if (end - p < 12)
            return QStringLiteral("an EMF+ record is cut off");
        U_PMF_CMN_HDR h;
        const char *q = p;
        if (!U_PMF_CMN_HDR_get(&q, &h) || h.Size < 12 || h.Size % 4 || h.Size > quint32(end - p) ||
            h.DataSize > h.Size - 12)
            return QStringLiteral("EMF+ record of type 0x%1 has size %2, data %3")
                .arg(h.Type, 0, 16)
                .arg(h.Size)
                .arg(h.DataSize);
        const QString why = record(p, h);
        if (!why.isEmpty())
            return QStringLiteral("EMF+ record of type 0x%1: %2").arg(h.Type, 0, 16).arg(why);
        p += h.Size;
    }
    return QString();
}

QString PlusWalk::record(const char *rec, const U_PMF_CMN_HDR &h) {
    U_PMF_CMN_HDR got;
    switch (h.Type & U_PMR_TYPE_MASK) {
    case U_PMR_HEADER: {
        U_PMF_GRAPHICSVERSION version;
        int dual = 0, video = 0;
        uint32_t dpiX = 0, dpiY = 0;
        const bool read = U_PMR_HEADER_get(rec, &got, &version, &dual, &video, &dpiX, &dpiY) && dpiX > 0 && dpiY > 0;
        return read ? QString() : QStringLiteral("not a header libuemf reads");
    }
    case U_PMR_ENDOFFILE:
        return U_PMR_ENDOFFILE_get(rec, &got) ? QString() : QStringLiteral("unreadable");
    case U_PMR_GETDC:
        return U_PMR_GETDC_get(rec, &got) ? QString() : QStringLiteral("unreadable");
    case U_PMR_RESETCLIP:
        return U_PMR_RESETCLIP_get(rec, &got) ? QString() : QStringLiteral("unreadable");
    case U_PMR_SETPAGETRANSFORM: {
        int unit = 0;
        U_FLOAT scale = 0;
        return U_PMR_SETPAGETRANSFORM_get(rec, &got, &unit, &scale) && scale > 0 ? QString()
                                                                                 : QStringLiteral("unreadable");
    }
    case U_PMR_SETCLIPPATH: {
        uint32_t path = 0;
        int mode = 0;
        if (!U_PMR_SETCLIPPATH_get(rec, &got, &path, &mode))
            return QStringLiteral("unreadable");
        return m_objects.count(path) && m_objects[path] == U_OT_Path ? QString() : QStringLiteral("clips to no path");
    }
    case U_PMR_OBJECT:
        return object(rec, h);
    case U_PMR_DRAWIMAGEPOINTS:
        return drawImage(rec);
    case U_PMR_DRAWDRIVERSTRING:
        return drawText(rec);
    default:
        return QStringLiteral("a record type this walk does not read");
    }
}

QString PlusWalk::object(const char *rec, const U_PMF_CMN_HDR &h) {
    U_PMF_CMN_HDR got;
    uint32_t id = 0, total = 0;
    int type = 0, continued = 0;
    const char *data = nullptr;
    if (!U_PMR_OBJECT_get(rec, &got, &id, &type, &continued, &total, &data) || !data)
        return QStringLiteral("an object libuemf does not read");
    const char *end = rec + 12 + h.DataSize;
    if (data > end)
        return QStringLiteral("an object's data starts past its record");
    if (!continued)
        return defineObject(id, type, data, end);
    QByteArray &parts = m_parts[id];
    if (parts.isEmpty())
        m_total[id] = total;
    else if (m_total[id] != total)
        return QStringLiteral("a continued object's parts give different sizes");
    parts.append(data, end - data);
    if (quint32(parts.size()) < total)
        return QString();
    const QByteArray whole = parts;
    m_parts.erase(id);
    if (quint32(whole.size()) - total > 3)
        return QStringLiteral("a continued object's parts run past its size");
    return defineObject(id, type, whole.constData(), whole.constData() + total);
}

QString PlusWalk::defineObject(quint32 id, int type, const char *data, const char *end) {
    uint32_t version = 0;
    bool ok = false;
    if (type == U_OT_Path) {
        uint32_t count = 0;
        uint16_t flags = 0;
        const char *points = nullptr, *types = nullptr;
        ok = U_PMF_PATH_get(data, &version, &count, &flags, &points, &types, end) && count > 0;
    } else if (type == U_OT_ImageAttributes) {
        uint32_t wrap = 0, clamp = 0, objectClamp = 0;
        ok = U_PMF_IMAGEATTRIBUTES_get(data, &version, &wrap, &clamp, &objectClamp, end);
    } else if (type == U_OT_Image) {
        uint32_t imageType = 0;
        const char *image = nullptr, *pixels = nullptr;
        U_PMF_BITMAP bitmap;
        ok = U_PMF_IMAGE_get(data, &version, &imageType, &image, end) && imageType == U_IDT_Bitmap &&
             U_PMF_BITMAP_get(image, &bitmap, &pixels, end) && bitmap.Width > 0 && bitmap.Height > 0 &&
             bitmap.Type == 1 && end - pixels >= 4;
        // Compressed: the bytes of a PNG or JPEG file.
        ok = ok && (QByteArray::fromRawData(pixels, end - pixels).startsWith("\x89PNG") ||
                    QByteArray::fromRawData(pixels, end - pixels).startsWith("\xff\xd8"));
    } else if (type == U_OT_Font) {
        U_FLOAT em = 0;
        uint32_t unit = 0, length = 0;
        int32_t style = 0;
        const char *name = nullptr;
        ok = U_PMF_FONT_get(data, &version, &em, &unit, &style, &length, &name, end) && em > 0 && length > 0 &&
             name + 2 * length <= end;
    } else {
        return QStringLiteral("an object of type %1 this walk does not read").arg(type);
    }
    if (!ok)
        return QStringLiteral("object %1 of type %2 is not one libuemf reads").arg(id).arg(type);
    m_objects[id] = type;
    return QString();
}

QString PlusWalk::drawText(const char *rec) {
    U_PMF_CMN_HDR got;
    uint32_t font = 0, brush = 0, options = 0, hasMatrix = 0, count = 0;
    int colour = 0;
    uint16_t *glyphs = nullptr;
    U_PMF_POINTF *points = nullptr;
    U_PMF_TRANSFORMMATRIX *matrix = nullptr;
    // libuemf wants room for a transform after the places even where the record says none follows: it reads a
    // copy given that room.
    QByteArray room(rec, qsizetype(u32(rec + 4)));
    room.append(24, '\0');
    qToLittleEndian<quint32>(quint32(room.size()), room.data() + 4);
    qToLittleEndian<quint32>(quint32(room.size() - 12), room.data() + 8);
    const int ok = U_PMR_DRAWDRIVERSTRING_get(room.constData(), &got, &font, &colour, &brush, &options, &hasMatrix,
                                              &count, &glyphs, &points, &matrix);
    free(glyphs);
    free(points);
    free(matrix);
    if (!ok || count == 0)
        return QStringLiteral("a text libuemf does not read");
    const auto it = m_objects.find(font);
    if (it == m_objects.end() || it->second != U_OT_Font)
        return QStringLiteral("text in font %1, which is not defined").arg(font);
    return colour ? QString() : QStringLiteral("text with a brush object, not a colour");
}

QString PlusWalk::drawImage(const char *rec) {
    U_PMF_CMN_HDR got;
    uint32_t image = 0, attributes = 0, count = 0;
    int compressed = 0, relative = 0, absolute = 0;
    int32_t unit = 0;
    U_PMF_RECTF source;
    U_PMF_POINTF *points = nullptr;
    const int ok = U_PMR_DRAWIMAGEPOINTS_get(rec, &got, &image, &compressed, &relative, &absolute, &attributes, &unit,
                                             &source, &count, &points);
    free(points);
    if (!ok || count != 3)
        return QStringLiteral("not three points libuemf reads");
    if (!m_objects.count(image) || m_objects[image] != U_OT_Image)
        return QStringLiteral("draws no picture");
    if (!m_objects.count(attributes) || m_objects[attributes] != U_OT_ImageAttributes)
        return QStringLiteral("draws with no attributes");
    return QString();
}
} // namespace

QString uemfProblems(const QByteArray &emf) {
    const char *d = emf.constData();
    const qsizetype n = emf.size();
    PlusWalk plus;
    bool ended = false;
    int k = 0;
    for (qsizetype off = 0; off < n && !ended; ++k) {
        if (n - off < 8)
            return QStringLiteral("record %1 is cut off").arg(k);
        const quint32 type = u32(d + off), size = u32(d + off + 4);
        if (size < 8 || size % 4 || size > quint64(n - off))
            return QStringLiteral("record %1 (type %2) has size %3").arg(k).arg(type).arg(size);
        // In a copy of its own: the check reads no byte past the record's size.
        const QByteArray rec(d + off, size);
        if (!U_emf_record_safe(rec.constData()))
            return QStringLiteral("record %1 (type %2) fails libuemf's check").arg(k).arg(type);
        if (k == 0 && type != U_EMR_HEADER)
            return QStringLiteral("the first record is not a header");
        if (type == U_EMR_COMMENT && size >= 16 && u32(d + off + 12) == kPlusId) {
            if (u32(d + off + 8) < 4 || u32(d + off + 8) > size - 12)
                return QStringLiteral("record %1: a comment's data runs past it").arg(k);
            const QString why = plus.Records(rec.constData() + 16, u32(d + off + 8) - 4);
            if (!why.isEmpty())
                return QStringLiteral("record %1: %2").arg(k).arg(why);
        }
        ended = type == U_EMR_EOF;
        off += size;
    }
    return ended ? QString() : QStringLiteral("no end record");
}

QString emfProblems(const QByteArray &emf) {
    const QString own = TlxEmfFile::Check(emf);
    return own.isEmpty() ? uemfProblems(emf) : own;
}
