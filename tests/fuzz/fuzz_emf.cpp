// Slide pictures as the office writes them: the EMF structure check, the compressed form (.emz), and the
// composition of one or two parts into one picture, and masked pictures put back into it.
// Input: one byte (bit 0: the parts are gzip streams; bit 1: two parts, the next two bytes giving the first
// part's length, little-endian), then the parts' bytes.
#include "FuzzSupport.h"

#include "engine/lxEmfFile.h"

#include <QList>

namespace {
// The part as the checks see it: compressed parts are first unpacked (at most 1 MB here).
QByteArray unpacked(QByteArrayView part, bool gzip) {
    if (!gzip || !TlxEmfFile::IsGzip(part))
        return part.toByteArray();
    QString error;
    const QByteArray inner = TlxEmfFile::Gunzip(part, &error, 1 << 20);
    FUZZ_EXPECT(error.isEmpty() || inner.isEmpty());
    return inner;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1)
        return 0;
    const bool gzip = data[0] & 0x01;
    const bool two = data[0] & 0x02;
    QByteArrayView rest(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    QList<QByteArray> parts;
    if (two) {
        if (rest.size() < 2)
            return 0;
        const qsizetype first = qMin<qsizetype>(quint8(rest[0]) | (quint8(rest[1]) << 8), rest.size() - 2);
        parts << unpacked(rest.sliced(2, first), gzip) << unpacked(rest.sliced(2 + first), gzip);
    } else {
        parts << unpacked(rest, gzip);
    }

    bool allSound = true;
    QList<QByteArrayView> views;
    for (const QByteArray &part : std::as_const(parts)) {
        allSound = TlxEmfFile::Check(part).isEmpty() && allSound;
        views << part;
    }
    QString error;
    const QByteArray composed = TlxEmfFile::Compose(views, &error);
    // Sound parts always give a sound picture; a broken part gives nothing and says why.
    FUZZ_EXPECT(allSound == error.isEmpty());
    FUZZ_EXPECT(allSound != composed.isEmpty());
    if (!allSound)
        return 0;
    const QString why = TlxEmfFile::Check(composed);
    if (!why.isEmpty()) {
        std::fprintf(stderr, "composed picture fails the check: %s\n", qPrintable(why));
        FUZZ_EXPECT(why.isEmpty());
    }
    if (parts.size() == 1)
        FUZZ_EXPECT(composed == parts.first());
    // A composed picture is a part like any other, also compressed.
    const QByteArray again = TlxEmfFile::Compose({composed, parts.first()}, &error);
    FUZZ_EXPECT(!again.isEmpty() && TlxEmfFile::Check(again).isEmpty());
    QString gunzipError;
    FUZZ_EXPECT(TlxEmfFile::Gunzip(TlxEmfFile::Gzip(again), &gunzipError) == again && gunzipError.isEmpty());

    // Masked pictures put back: every pair found gets a grey picture of its size; the result is sound and has
    // none left.
    const QList<TlxEmfFile::MaskedPicture> pairs = TlxEmfFile::MaskedPictures(composed);
    QList<TlxEmfFile::Picture> pictures;
    for (const auto &m : pairs)
        if (qint64(m.size.width()) * m.size.height() <= (1 << 16))
            pictures.append({m.size.width(), m.size.height(),
                             QByteArray(qsizetype(m.size.width()) * m.size.height() * 4, char(0x80))});
    int replaced = 0;
    const QByteArray repaired = TlxEmfFile::ReplaceMaskedPictures(
        composed, [&](const TlxEmfFile::MaskedPicture &m) { return TlxEmfFile::OnlyPictureOfSize(pictures, m.size); },
        &replaced);
    FUZZ_EXPECT(TlxEmfFile::Check(repaired).isEmpty());
    FUZZ_EXPECT(replaced <= pairs.size());
    FUZZ_EXPECT(replaced > 0 || repaired == composed);
    return 0;
}
