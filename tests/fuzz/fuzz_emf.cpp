// Slide pictures as the converter checks them: the EMF structure check (EMF+ records in comments too) and the
// compressed form (.emz).
// Input: one byte (bit 0: the rest is a gzip stream), then the picture's bytes.
#include "FuzzSupport.h"

#include "render/lxEmfFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1)
        return 0;
    const bool gzip = data[0] & 0x01;
    QByteArray picture(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    if (gzip && TlxEmfFile::IsGzip(picture)) {
        QString error;
        const QByteArray inner = TlxEmfFile::Gunzip(picture, &error, 1 << 20);
        FUZZ_EXPECT(error.isEmpty() || inner.isEmpty());
        picture = inner;
    }
    const QString why = TlxEmfFile::Check(picture);
    // A sound picture stays sound through compression; a picture cut short never passes.
    if (why.isEmpty()) {
        QString error;
        FUZZ_EXPECT(TlxEmfFile::Gunzip(TlxEmfFile::Gzip(picture), &error) == picture && error.isEmpty());
        if (picture.size() > 8)
            FUZZ_EXPECT(!TlxEmfFile::Check(picture.left(picture.size() - 4)).isEmpty());
    }
    return 0;
}
