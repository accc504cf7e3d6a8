#include "platform/office/DeckPackage.h"

#include <QFile>
#include <QtEndian>

#include <zlib.h>

namespace office {

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
        m_entries.insert(QString::fromUtf8(dir.mid(p + 46, nameLength)), e);
        p += 46 + nameLength + extra + comment;
    }
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

} // namespace office
