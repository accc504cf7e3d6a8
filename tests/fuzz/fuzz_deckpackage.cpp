// A deck's parts read without the office (the fonts it carries are found this way before the office opens it), and
// the private copy's mends of a part's XML. Input: the bytes of a would-be zip file, also taken as a part's XML.
#include "FuzzSupport.h"

#include "deck/DeckCopy.h"
#include "deck/DeckPackage.h"

#include <QFile>
#include <QTemporaryFile>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static QTemporaryFile *file = [] {
        auto *f = new QTemporaryFile;
        f->open();
        return f;
    }();
    file->resize(0);
    file->seek(0);
    file->write(reinterpret_cast<const char *>(data), qint64(size));
    file->flush();
    const deck::DeckPackage deck(file->fileName());
    for (const char *part : {"ppt/presentation.xml", "ppt/_rels/presentation.xml.rels", "ppt/fonts/font1.fntdata"}) {
        // Never more than asked for, and nothing from a package that could not be read.
        const QByteArray bytes = deck.Read(QString::fromLatin1(part), 1 << 20);
        FUZZ_EXPECT(bytes.size() <= (1 << 20));
        FUZZ_EXPECT(deck.IsOpen() || bytes.isEmpty());
    }
    // The mends only take away (an alternative's first choice, a shadow, an overlay): never a byte more, whatever the
    // input.
    const QByteArray xml(reinterpret_cast<const char *>(data), qsizetype(size));
    FUZZ_EXPECT(deck::DeckCopy::WithoutMath(xml).size() <= xml.size());
    FUZZ_EXPECT(deck::DeckCopy::WithoutPictureShadows(xml).size() <= xml.size());
    FUZZ_EXPECT(deck::DeckCopy::WithOverlaidFills(xml).size() <= xml.size());
    deck::DeckCopy::WithoutSvg(xml);
    deck::DeckCopy::WithLineBasedSpacing(xml);
    return 0;
}
