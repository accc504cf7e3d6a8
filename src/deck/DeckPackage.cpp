#include "deck/DeckPackage.h"

#include <QDir>
#include <QFile>
#include <QXmlStreamReader>
#include <QtEndian>

#include <algorithm>

#include <zlib.h>

namespace deck {

namespace {
quint16 u16(const QByteArray &b, qsizetype at) {
    return qFromLittleEndian<quint16>(b.constData() + at);
}
quint32 u32(const QByteArray &b, qsizetype at) {
    return qFromLittleEndian<quint32>(b.constData() + at);
}

QByteArray inflateRaw(const QByteArray &in, quint32 size) {
    QByteArray out(qsizetype(size), Qt::Uninitialized);
    z_stream z{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK)
        return {};
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(in.constData()));
    z.avail_in = uInt(in.size());
    z.next_out = reinterpret_cast<Bytef *>(out.data());
    z.avail_out = uInt(out.size());
    const int r = inflate(&z, Z_FINISH);
    const bool whole = r == Z_STREAM_END && z.total_out == size;
    inflateEnd(&z);
    return whole ? out : QByteArray();
}
} // namespace

DeckPackage::DeckPackage(const QString &path) : m_path(path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || f.size() < 22)
        return;
    // The end record is in the last 64 KiB (its comment is at most that long).
    const qint64 tail = std::min<qint64>(f.size(), 65557);
    f.seek(f.size() - tail);
    const QByteArray end = f.read(tail);
    qsizetype at = end.size() - 22;
    while (at >= 0 && u32(end, at) != 0x06054b50)
        --at;
    if (at < 0)
        return;
    const quint16 count = u16(end, at + 10);
    const quint32 dirSize = u32(end, at + 12), dirOffset = u32(end, at + 16);
    if (qint64(dirOffset) + dirSize > f.size() || dirSize > (64u << 20) || !f.seek(dirOffset))
        return;
    const QByteArray dir = f.read(dirSize);
    // A directory that breaks off part way is a damaged package: none of its entries count.
    QHash<QString, Entry> entries;
    qsizetype p = 0;
    for (int i = 0; i < count; ++i) {
        if (p + 46 > dir.size() || u32(dir, p) != 0x02014b50)
            return;
        Entry e;
        e.method = u16(dir, p + 10);
        e.compressed = u32(dir, p + 20);
        e.size = u32(dir, p + 24);
        const quint16 nameLength = u16(dir, p + 28), extra = u16(dir, p + 30), comment = u16(dir, p + 32);
        e.localHeader = u32(dir, p + 42);
        if (p + 46 + nameLength > dir.size())
            return;
        entries.insert(QString::fromUtf8(dir.mid(p + 46, nameLength)), e);
        p += 46 + nameLength + extra + comment;
    }
    m_entries = std::move(entries);
    m_open = true;
}

QByteArray DeckPackage::Read(const QString &part, qint64 maxBytes) const {
    const auto it = m_entries.constFind(part);
    if (it == m_entries.constEnd() || it->size > maxBytes || it->compressed > maxBytes)
        return {};
    QFile f(m_path);
    if (!f.open(QIODevice::ReadOnly) || !f.seek(it->localHeader))
        return {};
    const QByteArray local = f.read(30);
    if (local.size() < 30 || u32(local, 0) != 0x04034b50)
        return {};
    if (!f.seek(qint64(it->localHeader) + 30 + u16(local, 26) + u16(local, 28)))
        return {};
    const QByteArray data = f.read(it->compressed);
    if (data.size() != qsizetype(it->compressed))
        return {};
    if (it->method == 0)
        return it->compressed == it->size ? data : QByteArray();
    return it->method == 8 ? inflateRaw(data, it->size) : QByteArray();
}

QHash<QString, QString> DeckPackage::PresentationTargets() const {
    QHash<QString, QString> targets;
    QXmlStreamReader xml(Read(QStringLiteral("ppt/_rels/presentation.xml.rels"), 4 << 20));
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement || xml.name() != QLatin1String("Relationship"))
            continue;
        const QString target = xml.attributes().value(QLatin1String("Target")).toString();
        targets.insert(xml.attributes().value(QLatin1String("Id")).toString(),
                       target.startsWith(u'/') ? target.mid(1) : QStringLiteral("ppt/") + target);
    }
    return targets;
}

QString DeckPackage::RelatedPart(const QString &part, const QString &type) const {
    if (part.isEmpty())
        return QString();
    const qsizetype slash = part.lastIndexOf(u'/');
    const QString dir = part.left(slash + 1);
    QXmlStreamReader xml(Read(dir + QStringLiteral("_rels/") + part.mid(slash + 1) + QStringLiteral(".rels"), 4 << 20));
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement || xml.name() != QLatin1String("Relationship") ||
            !xml.attributes().value(QLatin1String("Type")).endsWith(QString(u'/' + type)))
            continue;
        const QString target = xml.attributes().value(QLatin1String("Target")).toString();
        const QString path = QDir::cleanPath(target.startsWith(u'/') ? target.mid(1) : dir + target);
        return path.startsWith(QLatin1String("../")) ? QString() : path;
    }
    return QString();
}

QString DeckPackage::MasterOf(const QString &slide) const {
    return RelatedPart(RelatedPart(slide, QStringLiteral("slideLayout")), QStringLiteral("slideMaster"));
}

qint64 DeckPackage::UnpackedSize() const {
    qint64 total = 0;
    for (const Entry &e : m_entries)
        total += e.size;
    return total;
}

QStringList DeckPackage::SlideParts() const {
    const QHash<QString, QString> targets = PresentationTargets();
    QStringList parts;
    QXmlStreamReader xml(Read(QStringLiteral("ppt/presentation.xml"), 16 << 20));
    while (!xml.atEnd())
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("sldId"))
            for (const QXmlStreamAttribute &a : xml.attributes())
                if (a.name() == QLatin1String("id") && !a.namespaceUri().isEmpty())
                    parts << targets.value(a.value().toString());
    return parts;
}

QList<bool> DeckPackage::HiddenSlides() const {
    QList<bool> hidden;
    for (const QString &part : SlideParts()) {
        QXmlStreamReader xml(Read(part, 16 << 20));
        while (!xml.atEnd() && xml.readNext() != QXmlStreamReader::StartElement) {
        }
        const QStringView show = xml.attributes().value(QLatin1String("show"));
        hidden << (show == QLatin1String("0") || show == QLatin1String("false"));
    }
    return hidden;
}

QByteArray DeckPackage::Zip(const QList<QPair<QString, QByteArray>> &parts) {
    QByteArray zip, directory;
    auto u16 = [](QByteArray &b, quint16 v) { b.append(char(v & 0xff)).append(char(v >> 8)); };
    auto u32 = [&u16](QByteArray &b, quint32 v) {
        u16(b, quint16(v & 0xffff));
        u16(b, quint16(v >> 16));
    };
    for (const auto &[name, data] : parts) {
        const QByteArray n = name.toUtf8();
        const quint32 crc = quint32(crc32(0, reinterpret_cast<const Bytef *>(data.constData()), uInt(data.size())));
        if (quint64(zip.size()) + quint64(data.size()) > 0xfffff000u)
            return {}; // beyond what a zip without its 64-bit records can say
        const quint32 offset = quint32(zip.size());
        // The same header fields open the part's local record and its entry in the central directory.
        QByteArray fields;
        u32(fields, crc);
        u32(fields, quint32(data.size()));
        u32(fields, quint32(data.size()));
        u16(fields, quint16(n.size()));
        u16(fields, 0);
        u32(directory, 0x02014b50);
        u16(directory, 20);
        u32(zip, 0x04034b50);
        // Version 2.0, names in UTF-8 (a deck's name may be in any script), stored, 1 January 1980.
        for (QByteArray *b : {&zip, &directory})
            for (quint16 v : {20, 0x0800, 0, 0, 0x21})
                u16(*b, v);
        directory += fields;
        for (quint16 v : {0, 0, 0}) // comment, disk, internal attributes
            u16(directory, v);
        u32(directory, 0); // external attributes
        u32(directory, offset);
        directory += n;
        zip += fields + n + data;
    }
    const quint32 at = quint32(zip.size());
    zip += directory;
    u32(zip, 0x06054b50);
    u32(zip, 0);
    u16(zip, quint16(parts.size()));
    u16(zip, quint16(parts.size()));
    u32(zip, quint32(directory.size()));
    u32(zip, at);
    u16(zip, 0);
    return zip;
}

bool DeckPackage::WriteCopy(const QString &path,
                            const std::function<QByteArray(const QString &, const QByteArray &)> &edit) const {
    // In the deck's own order: [Content_Types].xml stays where readers look for it first.
    QList<std::pair<quint32, QString>> order;
    for (auto it = m_entries.constBegin(); it != m_entries.constEnd(); ++it)
        order.append({it->localHeader, it.key()});
    std::sort(order.begin(), order.end());
    QList<QPair<QString, QByteArray>> parts;
    for (const auto &[offset, name] : order) {
        const QByteArray data = Read(name, qint64(1) << 31);
        if (data.isEmpty() && m_entries.value(name).size > 0)
            return false;
        parts.append({name, edit(name, data)});
    }
    const QByteArray zip = Zip(parts);
    QFile out(path);
    return !zip.isEmpty() && out.open(QIODevice::WriteOnly) && out.write(zip) == zip.size() && out.flush();
}

} // namespace deck
