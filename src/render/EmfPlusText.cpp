#include "render/EmfPlusText.h"
#include "render/EmfFormat.h"
#include "render/EmfPictureRecords.h"

using namespace emf;

QList<QByteArray> EmfPlusText::Records(const EmfRecordWriter::Font &font, QRgb argb, QPointF origin,
                                       const QString &text, const std::vector<double> &advances,
                                       const std::vector<EmfRecordWriter::ClipPath> &clip) {
    if (text.isEmpty())
        return {};
    QList<QByteArray> records = EmfPictureRecords::PlusClip(clip);
    records << PlusRecord(PlusObject, std::uint16_t(ObjectFont << 8 | kSlotFont), fontObject(font));
    records << PlusRecord(PlusDrawDriverString, std::uint16_t(0x8000 /* a colour, not a brush */ | kSlotFont),
                          drawString(argb, origin, text, advances));
    return records;
}

QByteArray EmfPlusText::fontObject(const EmfRecordWriter::Font &font) {
    QByteArray d;
    put32(d, kPlusVersion);
    // The em in world units, which are the page's coordinates here, so that it scales with the places.
    putFloat(d, float(font.height * kPlusUnitsPerPoint));
    put32(d, 0); // world units
    put32(d, (font.bold ? 1u : 0u) | (font.italic ? 2u : 0u));
    put32(d, 0);
    const QString name = font.face.left(32);
    put32(d, std::uint32_t(name.size()));
    for (QChar c : name)
        put16(d, c.unicode());
    while (d.size() % 4)
        d.append('\0');
    return d;
}

QByteArray EmfPlusText::drawString(QRgb argb, QPointF origin, const QString &text,
                                   const std::vector<double> &advances) {
    QByteArray d;
    put32(d, argb);
    put32(d, 1); // the characters are looked up in the font's own map, as text is
    put32(d, 0); // no transform
    put32(d, std::uint32_t(text.size()));
    for (QChar c : text)
        put16(d, c.unicode());
    // The places follow at once, as readers take them; the record's own size is padded when it is made.
    double x = origin.x();
    for (qsizetype i = 0; i < text.size(); ++i) {
        putFloat(d, float(x * kPlusUnitsPerPoint));
        putFloat(d, float(origin.y() * kPlusUnitsPerPoint));
        x += std::size_t(i) < advances.size() ? advances[std::size_t(i)] : 0;
    }
    return d;
}
