// What a client sends the conversion service: the form's fields as the multipart parser hands them over, and the
// service's own command line. Input: records of one byte (bit 0: a file part, else a field; bits 1-2 which field
// name; bit 3: a piece that goes on from the last one), one length byte, then that many bytes: for a file part
// its name, then as many bytes of content. Then the rest as the command line's arguments, split at newlines.
// Whatever comes, a deck's name stays a name (no folder, no control character) and its file stays in the
// request's own folder.
#include "FuzzSupport.h"

#include "service/ServiceOptions.h"
#include "service/ServiceUpload.h"

#include <QFileInfo>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const char *const keys[] = {"files", "format", "slides", "other"};
    ServiceUpload upload(1 << 20);
    FUZZ_EXPECT(upload.Ready());
    size_t at = 0;
    std::uint64_t offset = 0;
    QByteArray name;
    while (at + 2 <= size && data[at] != 0xff) {
        const uint8_t kind = data[at], length = data[at + 1];
        at += 2;
        const size_t n = std::min<size_t>(length, size - at);
        const QByteArray piece(reinterpret_cast<const char *>(data + at), qsizetype(n));
        at += n;
        if (!(kind & 8)) {
            offset = 0;
            name = piece;
        }
        const bool file = kind & 1;
        if (!upload.Field(keys[(kind >> 1) & 3], file ? name.constData() : nullptr, piece.constData(), offset,
                          size_t(piece.size())))
            break;
        offset += std::uint64_t(piece.size());
    }
    upload.Finish();
    for (const ServiceUpload::Deck &d : upload.Decks()) {
        FUZZ_EXPECT(!d.name.isEmpty() && !d.name.contains(u'/') && !d.name.contains(u'\\') && !d.name.startsWith(u'.'));
        for (QChar c : d.name)
            FUZZ_EXPECT(c.unicode() >= 0x20);
        FUZZ_EXPECT(QFileInfo(d.path).absolutePath() == upload.Dir() + QStringLiteral("/in"));
        FUZZ_EXPECT(ServiceUpload::IsDeckExtension(d.extension));
    }
    const QStringList args =
        at < size ? QString::fromUtf8(reinterpret_cast<const char *>(data + at), qsizetype(size - at)).split(u'\n')
                  : QStringList();
    ServiceOptions options;
    QString error;
    if (options.Parse(args, &error))
        FUZZ_EXPECT(options.port >= 1 && options.port <= 65535 && options.jobs >= 1 && options.maxUpload > 0);
    else
        FUZZ_EXPECT(!error.isEmpty());
    return 0;
}
