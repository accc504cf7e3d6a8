// What a user writes for the output and what the office writes as SVG: the Format, Slides, ImageResolution and
// PngWidth options, the SVG check, and the composition of SVG layers.
// Input: four option texts and two SVG parts, cut at U+0000 (UTF-8).
#include "FuzzSupport.h"

#include "engine/lxError.h"
#include "engine/lxOutputOptions.h"
#include "engine/lxSvgFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QStringList f = FuzzSupport::fields(FuzzSupport::text(bytes, false), 6);
    try {
        const TlxOutputOptions o = TlxOutputOptions::Parse(f.at(0), f.at(1), f.at(2), f.at(3));
        // What was understood reads back the same, and slide choices stay within the deck asked about.
        const TlxOutputOptions again = TlxOutputOptions::Parse(
            o.FormatName(), o.SlidesText(), QString::number(o.imageResolution), QString::number(o.pngWidth));
        FUZZ_EXPECT(again.SlidesText() == o.SlidesText() && again.format == o.format);
        for (int slide : o.ChosenSlides(50))
            FUZZ_EXPECT(slide >= 1 && slide <= 50 && o.Takes(slide));
        FUZZ_EXPECT(o.FirstSlide() >= 1);
    } catch (const ElxError &e) {
        FUZZ_EXPECT(e.Message().startsWith(QLatin1String("Invalid ")));
    }

    const QByteArray a = f.at(4).toUtf8(), b = f.at(5).toUtf8();
    const bool sound = TlxSvgFile::Check(a).isEmpty() && TlxSvgFile::Check(b).isEmpty();
    QString error;
    const QByteArray composed = TlxSvgFile::Compose({a, b}, &error);
    // Sound parts always compose into a sound document; a broken part gives nothing and says why.
    FUZZ_EXPECT(sound == error.isEmpty());
    if (sound) {
        const QString why = TlxSvgFile::Check(composed);
        if (!why.isEmpty())
            std::fprintf(stderr, "composed SVG fails the check: %s\n", qPrintable(why));
        FUZZ_EXPECT(why.isEmpty());
    }
    return 0;
}
