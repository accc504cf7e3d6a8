// The regular-expression service with the user's pattern, options, subject and replacement text.
// Input: one byte of options (bit 0 ignore case, bit 1 multiline, bit 2 raw UTF-16 texts), then pattern,
// subject and replacement separated by U+0000.
#include "FuzzSupport.h"

#include "regex/VBScriptRegex.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1)
        return 0;
    const TRegexFlags flags = TRegexFlags(data[0] & (rxIgnoreCase | rxMultiline));
    const bool utf16 = data[0] & 0x04;
    const QByteArray rest(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    const QStringList f = FuzzSupport::fields(FuzzSupport::text(rest, utf16), 3);
    const QString &pattern = f[0], &subject = f[1], &replacement = f[2];

    const std::shared_ptr<IRegex> rx = Regex::New(pattern, flags);
    FUZZ_EXPECT(rx->Pattern() == pattern);
    try {
        const bool found = rx->IsMatch(subject);
        const auto first = rx->Match(subject);
        FUZZ_EXPECT(first->Count() == (found ? 1 : 0));
        const auto all = rx->Matches(subject);
        FUZZ_EXPECT(all->Count() >= first->Count());
        int previousEnd = 0;
        for (int i = 0; i < all->Count(); ++i) {
            const auto m = all->Item(i);
            // Matches never overlap, lie inside the subject and say what they cover.
            FUZZ_EXPECT(m->FirstIndex() >= previousEnd && m->Length() >= 0);
            FUZZ_EXPECT(m->FirstIndex() + m->Length() <= subject.size());
            FUZZ_EXPECT(m->Value() == subject.mid(m->FirstIndex(), m->Length()));
            previousEnd = m->FirstIndex() + m->Length();
            const auto groups = m->SubMatches();
            for (int g = 0; g < groups->Count(); ++g) {
                const QVariant v = groups->Item(g);
                FUZZ_EXPECT(!v.isValid() || subject.contains(v.toString()));
            }
            if (i > 8)
                break;
        }
        // The match itself as replacement gives the subject back, for the first match and for all of them.
        FUZZ_EXPECT(rx->Replace(subject, QStringLiteral("$&")) == subject);
        FUZZ_EXPECT(rx->ReplaceAll(subject, QStringLiteral("$&")) == subject);
        const QString once = rx->Replace(subject, replacement);
        FUZZ_EXPECT(found || once == subject);
        rx->ReplaceAll(subject, replacement);
        FUZZ_EXPECT(Regex::IsMatch(pattern, flags, subject) == found);
        if (flags == 0)
            FUZZ_EXPECT(Regex::Replace(pattern, subject, replacement) == once);
    } catch (const ERegexException &e) {
        FUZZ_EXPECT(!e.Message().isEmpty());
    }
    return 0;
}
