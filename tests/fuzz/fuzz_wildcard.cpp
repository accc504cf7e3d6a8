// File masks: the listing's wildcard match of a name, the mask turned into a regular expression, and the
// file-name filter that applies it and the extra expression to a path.
// Input: one byte (bit 0 raw UTF-16 texts), then mask, name and extra expression separated by U+0000.
#include "FuzzSupport.h"

#include "engine/lxFileSearch.h"
#include "engine/lxMatch.h"
#include "regex/VBScriptRegex.h"

namespace {
class Filter : public TlxFileSearch {
public:
    QString mask, extra;

protected:
    void AddFile(const QString &) override {}
    QString Mask() const override { return mask; }
    QString RegExt() const override { return extra; }
    bool TerminateRequested() const override { return true; }
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1)
        return 0;
    const bool utf16 = data[0] & 0x01;
    const QByteArray rest(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    const QStringList f = FuzzSupport::fields(FuzzSupport::text(rest, utf16), 3);
    const QString &mask = f[0], &name = f[1], &extra = f[2];

    const bool listed = TlxFileSearch::WildcardMatch(name, mask);
    FUZZ_EXPECT(!listed || !mask.isEmpty());
    // Every name fits itself as a mask, and "*" fits every name.
    if (!name.isEmpty())
        FUZZ_EXPECT(TlxFileSearch::WildcardMatch(name, name));
    FUZZ_EXPECT(TlxFileSearch::WildcardMatch(name, u"*"));

    const QString pattern = WildcardToRegex(mask);
    FUZZ_EXPECT(pattern.endsWith(u'$'));
    try {
        Regex::IsMatch(pattern, rxIgnoreCase, name);
        // Without "\" and "|", which pass into the expression as they are, every mask is a sound expression
        // that finds the mask itself.
        if (!mask.contains(u'\\') && !mask.contains(u'|'))
            FUZZ_EXPECT(Regex::IsMatch(pattern, rxIgnoreCase, mask));
    } catch (const ERegexException &e) {
        // Masks such as "*a*a*a*a*a*a*a*a*b" still make the engine give up on a long name (a limit, counted
        // as a match by the filter); anything else is a mask that did not become a sound expression.
        constexpr qint32 kLimit = 28;
        FUZZ_EXPECT((e.ErrorCode() & 0xFFFF) == kLimit || mask.contains(u'\\') || mask.contains(u'|') ||
                    !mask.isValidUtf16());
    }

    static TlxMatch matcher;
    Matcher = &matcher;
    Filter filter;
    filter.mask = mask;
    filter.extra = extra;
    filter.Accepts(name);
    Matcher = nullptr;
    FUZZ_EXPECT(filter.Accepts(name));
    return 0;
}
