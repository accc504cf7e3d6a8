// PDF pages drawn as EMF: whatever the PDF, a page gives a whole EMF (EMF+ records in their comments chained
// to their ends, every record read by libuemf) or a reason, never both, never a crash. The input is a PDF; its first pages are drawn with and
// without EMF+.
#include "FuzzSupport.h"

#include "render/PdfPages.h"
#include "render/lxEmfFile.h"
#include "UemfReader.h"

#include <chrono>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const PdfPages pages(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    // A page that takes long is cut short as a conversion's time limit cuts it.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    for (int k = 0; k < std::min(pages.Count(), 2); ++k) {
        for (bool plus : {true, false}) {
            QString error;
            const QByteArray emf = pages.Emf(k, 96, 36, &error, plus, deadline);
            FUZZ_EXPECT(emf.isEmpty() != error.isEmpty());
            if (!emf.isEmpty()) {
                const QString why = TlxEmfFile::Check(emf);
                if (!why.isEmpty())
                    std::fprintf(stderr, "page %d fails the check: %s\n", k + 1, qPrintable(why));
                FUZZ_EXPECT(why.isEmpty());
                const QString uemf = uemfProblems(emf);
                if (!uemf.isEmpty())
                    std::fprintf(stderr, "page %d fails libuemf's reading: %s\n", k + 1, qPrintable(uemf));
                FUZZ_EXPECT(uemf.isEmpty());
            }
        }
    }
    return 0;
}
