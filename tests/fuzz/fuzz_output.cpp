// What a user writes for the output, and the SVG check: the Format, Slides, ImageResolution and PngWidth options.
// Input: four option texts and an SVG document, cut at U+0000 (UTF-8).
#include "FuzzSupport.h"

#include "base/lxError.h"
#include "base/lxOutputOptions.h"
#include "render/lxSvgFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QStringList f = FuzzSupport::fields(FuzzSupport::text(bytes, false), 5);
    try {
        const TlxOutputOptions o = TlxOutputOptions::Parse(f.at(0), f.at(1), f.at(2), f.at(3));
        // What was understood reads back the same, and slide choices stay within the deck asked about.
        const TlxOutputOptions again = TlxOutputOptions::Parse(
            o.FormatName(), o.SlidesText(), QString::number(o.imageResolution), QString::number(o.pngWidth));
        FUZZ_EXPECT(again.SlidesText() == o.SlidesText() && again.format == o.format);
        // The options as they travel with a call to the office come back whole.
        FUZZ_EXPECT(TlxOutputOptions::FromText(o.Text()).Text() == o.Text());
        for (int slide : o.ChosenSlides(50))
            FUZZ_EXPECT(slide >= 1 && slide <= 50 && o.Takes(slide));
        FUZZ_EXPECT(o.FirstSlide() >= 1);
    } catch (const ElxError &e) {
        FUZZ_EXPECT(e.Message().startsWith(QLatin1String("Invalid ")));
    }

    // The check reads anything without harm, and a document it takes is taken again as text.
    const QByteArray svg = f.at(4).toUtf8();
    if (TlxSvgFile::Check(svg).isEmpty())
        FUZZ_EXPECT(TlxSvgFile::Check(QString::fromUtf8(svg).toUtf8()).isEmpty());
    return 0;
}
