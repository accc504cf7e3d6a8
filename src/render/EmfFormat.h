#pragma once

#include <QByteArray>
#include <QPointF>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

// The numbers of the EMF and EMF+ formats this program writes and checks, kept once for the writer and the check,
// and the little-endian putting of them into a record.
namespace emf {
constexpr double kUnitsPerPoint = 2540.0 / 72.0; // hundredths of a millimetre
constexpr std::uint32_t kSignature = 0x464D4520; // " EMF"
constexpr std::uint32_t kPlusId = 0x2B464D45;    // "EMF+" at the start of a comment's data
constexpr std::uint32_t kPlusVersion = 0xDBC01002;
constexpr double kPlusUnitsPerPoint = 96.0 / 72; // EMF+ coordinates: pixels of the reference device

enum Plus : std::uint16_t {
    PlusHeader = 0x4001,
    PlusEndOfFile = 0x4002,
    PlusGetDc = 0x4004,
    PlusObject = 0x4008,
    PlusDrawImagePoints = 0x401B,
    PlusSetPageTransform = 0x4030,
    PlusResetClip = 0x4031,
    PlusSetClipPath = 0x4033,
    PlusDrawDriverString = 0x4036,
};
enum PlusObjectType : std::uint16_t { ObjectPath = 3, ObjectImage = 5, ObjectFont = 6, ObjectImageAttributes = 8 };
// The EMF+ object table slots this program uses: a picture, its attributes, a clip path, a font. Each drawing
// defines the objects it draws with just before, so slots are reused freely.
constexpr std::uint16_t kSlotImage = 0, kSlotAttributes = 1, kSlotClip = 2, kSlotFont = 3;

enum Emr : std::uint32_t {
    Header = 1,
    PolyBezierTo = 5,
    PolyLineTo = 6,
    SetWindowExtEx = 9,
    SetViewportExtEx = 11,
    Eof = 14,
    SetMapMode = 17,
    SetBkMode = 18,
    SetPolyFillMode = 19,
    SetStretchBltMode = 21,
    SetTextAlign = 22,
    SetTextColor = 24,
    MoveToEx = 27,
    SaveDc = 33,
    RestoreDc = 34,
    ModifyWorldTransform = 36,
    SelectObject = 37,
    CreateBrushIndirect = 39,
    DeleteObject = 40,
    SetMiterLimit = 58,
    BeginPath = 59,
    EndPath = 60,
    CloseFigure = 61,
    FillPath = 62,
    StrokePath = 64,
    WidenPath = 66,
    SelectClipPath = 67,
    Comment = 70,
    ExtSelectClipRgn = 75,
    StretchDiBits = 81,
    ExtCreateFontIndirectW = 82,
    ExtTextOutW = 84,
    ExtCreatePen = 95,
    AlphaBlend = 114,
};

// A point in the records' logical units, hundredths of a millimetre.
struct Point {
    std::int32_t x, y;
};
inline Point Logical(QPointF p) {
    const auto clamp = [](double v) { return std::int32_t(std::lround(std::clamp(v, -1.0e9, 1.0e9))); };
    return {clamp(p.x() * kUnitsPerPoint), clamp(p.y() * kUnitsPerPoint)};
}
// Logical units as pixels of the reference device (96 an inch), for the bounds records carry.
inline std::int32_t ToDevice(std::int32_t logical) {
    return std::int32_t(std::floor(double(logical) * 96.0 / 2540.0));
}

inline void put32(QByteArray &b, std::uint32_t v) {
    char le[4];
    qToLittleEndian<quint32>(v, le);
    b.append(le, 4);
}
inline void put16(QByteArray &b, std::uint16_t v) {
    char le[2];
    qToLittleEndian<quint16>(v, le);
    b.append(le, 2);
}
inline void putFloat(QByteArray &b, float f) {
    std::uint32_t v;
    std::memcpy(&v, &f, 4);
    put32(b, v);
}
inline void set32(QByteArray &b, qsizetype at, std::uint32_t v) {
    qToLittleEndian<quint32>(v, b.data() + at);
}
inline std::uint32_t get32(const char *p) {
    return qFromLittleEndian<quint32>(p);
}

// A comment record holding one EMF+ record.
inline QByteArray PlusComment(const QByteArray &record) {
    QByteArray c;
    put32(c, Comment);
    put32(c, std::uint32_t(16 + record.size()));
    put32(c, std::uint32_t(4 + record.size()));
    put32(c, kPlusId);
    return c + record;
}

// A comment record of this program's before each part of a page drawn as a picture (what the records cannot
// say), so that a run can tell its users which slides have such parts; readers pass over comments.
constexpr std::uint32_t kPictureMark = 0x54524150; // "PART"
inline QByteArray PictureMarkComment() {
    QByteArray c;
    for (std::uint32_t v : {std::uint32_t(Comment), 16u, 4u, kPictureMark})
        put32(c, v);
    return c;
}

// One EMF+ record, its data padded to whole 32-bit words.
inline QByteArray PlusRecord(std::uint16_t type, std::uint16_t flags, const QByteArray &data) {
    QByteArray r;
    const auto padded = std::uint32_t((data.size() + 3) & ~qsizetype(3));
    put16(r, type);
    put16(r, flags);
    put32(r, 12 + padded);
    put32(r, padded);
    r += data;
    r.append(qsizetype(padded) - data.size(), '\0');
    return r;
}
} // namespace emf
