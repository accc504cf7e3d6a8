#include "render/lxEmfFile.h"
#include "base/lxFileName.h"
#include "render/EmfFormat.h"

#include <QFile>
#include <QtEndian>

#include <zlib.h>

#include <algorithm>

namespace {
using namespace emf;
constexpr qsizetype kMinHeader = 88;

quint32 u32(const char *p) {
    return get32(p);
}

// Empty when the EMF+ records a comment carries (rec: the comment, size bytes) chain exactly to the end of its
// data, each no smaller than its header and with its data inside it; else why not.
QString checkPlusRecords(const char *rec, quint32 size) {
    if (size < 16 || u32(rec + 12) != kPlusId)
        return QString();
    const quint32 dataSize = u32(rec + 8);
    if (dataSize < 4 || dataSize > size - 12)
        return QStringLiteral("its data runs past the record");
    const quint32 end = 12 + dataSize;
    quint32 p = 16;
    int k = 0;
    while (p < end) {
        ++k;
        if (end - p < 12)
            return QStringLiteral("EMF+ record %1 is cut off").arg(k);
        const quint32 recSize = u32(rec + p + 4), recData = u32(rec + p + 8);
        // Compared so that a size near 4 GB cannot wrap around.
        if (recSize < 12 || recSize % 4 || recSize > end - p || recData > recSize - 12)
            return QStringLiteral("EMF+ record %1 has an impossible size (%2)").arg(k).arg(recSize);
        p += recSize;
    }
    return QString();
}
} // namespace

QString TlxEmfFile::Check(QByteArrayView data) {
    const char *d = data.data();
    const qsizetype n = data.size();
    if (n < kMinHeader || u32(d) != Header)
        return QStringLiteral("it does not begin with an EMF header");
    if (u32(d + 40) != kSignature)
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
        if (lastType == Eof)
            return QStringLiteral("the end record at record %1 is followed by more data").arg(count);
        const quint32 type = u32(d + off);
        const quint32 size = u32(d + off + 4);
        if (size < 8 || size % 4)
            return QStringLiteral("record %1 at byte %2 has an impossible size (%3)").arg(count + 1).arg(off).arg(size);
        if (size > quint64(n - off))
            return QStringLiteral("record %1 at byte %2 runs past the end of the file").arg(count + 1).arg(off);
        if (type == Comment) {
            const QString plus = checkPlusRecords(d + off, size);
            if (!plus.isEmpty())
                return QStringLiteral("the comment at record %1 is damaged: %2").arg(count + 1).arg(plus);
        }
        lastType = type;
        off += size;
        ++count;
    }
    if (lastType != Eof)
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

int TlxEmfFile::PictureParts(QByteArrayView data) {
    QByteArray inner;
    if (IsGzip(data)) {
        QString error;
        inner = Gunzip(data, &error);
        data = inner;
    }
    int parts = 0;
    for (qsizetype at = 0; at + 8 <= data.size();) {
        const std::uint32_t type = emf::get32(data.data() + at), size = emf::get32(data.data() + at + 4);
        if (size < 8 || size % 4 || size > quint64(data.size() - at))
            break;
        parts += type == emf::Comment && size == 16 && emf::get32(data.data() + at + 12) == emf::kPictureMark;
        at += size;
    }
    return parts;
}

QList<QPair<QString, int>> TlxEmfFile::FilesWithPictureParts(const QStringList &files) {
    QList<QPair<QString, int>> parts;
    for (const QString &file : files) {
        if (!file.endsWith(QLatin1String(".emf"), Qt::CaseInsensitive) &&
            !file.endsWith(QLatin1String(".emz"), Qt::CaseInsensitive))
            continue;
        QFile f(file);
        const int n = f.open(QIODevice::ReadOnly) ? PictureParts(f.readAll()) : 0;
        if (n > 0)
            parts.append({file, n});
    }
    return parts;
}
