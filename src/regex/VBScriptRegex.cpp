#include "regex/VBScriptRegex.h"

#include <pcre2.h>

#include <QList>

#include <vector>

const TVBScriptErrRec VBScriptErrors[VBScriptErrorCount] = {
    {429, "ActiveX component can't create object"},
    {507, "An exception occurred"},
    {449, "Argument not optional"},
    {17, "Can't perform requested operation"},
    {430, "Class doesn't support Automation"},
    {506, "Class not defined"},
    {11, "Division by zero"},
    {48, "Error in loading DLL"},
    {5020, "Expected ')' in regular expression"},
    {5019, "Expected ']' in regular expression"},
    {432, "File name or class name not found during Automation operation"},
    {92, "For loop not initialized"},
    {5008, "Illegal assignment"},
    {51, "Internal error"},
    {505, "Invalid or unqualified reference"},
    {481, "Invalid picture"},
    {5, "Invalid procedure call or argument"},
    {5021, "Invalid range in character set"},
    {94, "Invalid use of Null"},
    {448, "Named argument not found"},
    {447, "Object doesn't support current locale setting"},
    {445, "Object doesn't support this action"},
    {438, "Object doesn't support this property or method"},
    {451, "Object not a collection"},
    {504, "Object not safe for creating"},
    {503, "Object not safe for initializing"},
    {502, "Object not safe for scripting"},
    {424, "Object required"},
    {91, "Object variable not set"},
    {7, "Out of Memory"},
    {28, "Out of stack space"},
    {14, "Out of string space"},
    {6, "Overflow"},
    {35, "Sub or function not defined"},
    {9, "Subscript out of range"},
    {5017, "Syntax error in regular expression"},
    {462, "The remote server machine does not exist or is unavailable"},
    {10, "This array is fixed or temporarily locked"},
    {13, "Type mismatch"},
    {5018, "Unexpected quantifier"},
    {500, "Variable is undefined"},
    {458, "Variable uses an Automation type not supported in VBScript"},
    {450, "Wrong number of arguments or invalid property assignment"},
};

ERegexException ERegexException::FromCode(qint32 errorCode, const QString &engineMessage) {
    const qint32 key = errorCode & 0xFFFF;
    for (const TVBScriptErrRec &rec : VBScriptErrors) {
        if (rec.Code == key)
            return ERegexException(QString::fromLatin1(rec.Msg), errorCode);
    }
    return ERegexException(engineMessage, errorCode);
}

namespace {

enum : qint32 {
    kOutOfMemory = 7,
    kSubscriptOutOfRange = 9,
    kOutOfStackSpace = 28,
    kSyntaxError = 5017,
    kUnexpectedQuantifier = 5018,
    kExpectedBracket = 5019,
    kExpectedParen = 5020,
    kInvalidRange = 5021,
};

QString engineMessage(int error) {
    PCRE2_UCHAR16 buffer[256];
    const int n = pcre2_get_error_message(error, buffer, 256);
    return n > 0 ? QString::fromUtf16(reinterpret_cast<const char16_t *>(buffer), n)
                 : QStringLiteral("Regular expression error %1").arg(error);
}

// The full code of an engine error: its own number in the high 16 bits, the table's in the low 16 bits.
qint32 fullCode(int engineError, qint32 key) {
    return qint32((quint32(qAbs(engineError)) << 16) | quint32(key));
}

ERegexException compileError(int error) {
    qint32 key = kSyntaxError;
    switch (error) {
    case PCRE2_ERROR_MISSING_CLOSING_PARENTHESIS:
        key = kExpectedParen;
        break;
    case PCRE2_ERROR_MISSING_SQUARE_BRACKET:
        key = kExpectedBracket;
        break;
    case PCRE2_ERROR_CLASS_RANGE_ORDER:
        key = kInvalidRange;
        break;
    case PCRE2_ERROR_QUANTIFIER_INVALID:
        key = kUnexpectedQuantifier;
        break;
    case PCRE2_ERROR_HEAP_FAILED:
        key = kOutOfMemory;
        break;
    default:
        break;
    }
    return ERegexException::FromCode(fullCode(error, key), engineMessage(error));
}

ERegexException matchError(int error) {
    qint32 key = 0; // not in the table: the engine's own message
    switch (error) {
    case PCRE2_ERROR_NOMEMORY:
        key = kOutOfMemory;
        break;
    case PCRE2_ERROR_MATCHLIMIT:
    case PCRE2_ERROR_DEPTHLIMIT:
    case PCRE2_ERROR_HEAPLIMIT:
    case PCRE2_ERROR_JIT_STACKLIMIT:
        key = kOutOfStackSpace;
        break;
    default:
        break;
    }
    return ERegexException::FromCode(fullCode(error, key), engineMessage(error));
}

// ECMAScript-like syntax: \uXXXX escapes, "[]" and "[^]" classes, back references to unset groups matching the
// empty text, "$" at the very end only (unless multiline). Subjects with unpaired surrogates (odd file names) are
// matched rather than rejected.
constexpr uint32_t kBaseOptions = PCRE2_ALT_BSUX | PCRE2_ALLOW_EMPTY_CLASS | PCRE2_MATCH_UNSET_BACKREF | PCRE2_UTF |
                                  PCRE2_MATCH_INVALID_UTF | PCRE2_DOLLAR_ENDONLY;

// A compiled pattern, or the error that compiling it gave. Immutable once made, so threads may share it.
struct Compiled {
    pcre2_code *code = nullptr;
    uint32_t captureCount = 0;
    bool hasError = false;
    int error = 0;

    Compiled(const QString &pattern, TRegexFlags flags) {
        uint32_t options = kBaseOptions;
        if (flags & rxIgnoreCase)
            options |= PCRE2_CASELESS;
        if (flags & rxMultiline)
            options |= PCRE2_MULTILINE;
        pcre2_compile_context *context = pcre2_compile_context_create(nullptr);
        if (context) {
            pcre2_set_compile_extra_options(context, PCRE2_EXTRA_ALT_BSUX);
            pcre2_set_newline(context, PCRE2_NEWLINE_ANYCRLF);
        }
        int errorNumber = 0;
        PCRE2_SIZE errorOffset = 0;
        code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.utf16()), PCRE2_SIZE(pattern.size()), options,
                             &errorNumber, &errorOffset, context);
        pcre2_compile_context_free(context);
        if (!code) {
            hasError = true;
            error = errorNumber;
            return;
        }
        pcre2_jit_compile(code, PCRE2_JIT_COMPLETE); // without JIT the interpreter serves
        pcre2_pattern_info(code, PCRE2_INFO_CAPTURECOUNT, &captureCount);
    }
    ~Compiled() { pcre2_code_free(code); }
    Compiled(const Compiled &) = delete;
    Compiled &operator=(const Compiled &) = delete;
};

using CompiledPtr = std::shared_ptr<const Compiled>;

// Recently used patterns of this thread, most recent first.
class PatternCache {
public:
    CompiledPtr get(const QString &pattern, TRegexFlags flags) {
        for (size_t i = 0; i < m_entries.size(); ++i) {
            if (m_entries[i].flags == flags && m_entries[i].pattern == pattern) {
                if (i != 0)
                    std::swap(m_entries[0], m_entries[i]);
                return m_entries[0].compiled;
            }
        }
        auto compiled = std::make_shared<const Compiled>(pattern, flags);
        if (m_entries.size() >= kSize)
            m_entries.pop_back();
        m_entries.insert(m_entries.begin(), Entry{pattern, flags, compiled});
        return compiled;
    }

private:
    static constexpr size_t kSize = 16;
    struct Entry {
        QString pattern;
        TRegexFlags flags;
        CompiledPtr compiled;
    };
    std::vector<Entry> m_entries;
};

PatternCache &threadCache() {
    thread_local PatternCache cache;
    return cache;
}

// Match data owned by this thread, grown to the largest group count seen.
class MatchData {
public:
    ~MatchData() { pcre2_match_data_free(m_data); }
    pcre2_match_data *forPairs(uint32_t pairs) {
        if (!m_data || m_pairs < pairs) {
            pcre2_match_data_free(m_data);
            m_pairs = qMax<uint32_t>(pairs, 16);
            m_data = pcre2_match_data_create(m_pairs, nullptr);
            if (!m_data)
                throw matchError(PCRE2_ERROR_NOMEMORY);
        }
        return m_data;
    }

private:
    pcre2_match_data *m_data = nullptr;
    uint32_t m_pairs = 0;
};

MatchData &threadMatchData() {
    thread_local MatchData data;
    return data;
}

CompiledPtr requireCompiled(const CompiledPtr &compiled) {
    if (compiled->hasError)
        throw compileError(compiled->error);
    return compiled;
}

// One match: start/end of the whole match and of every group, -1 for unset groups.
struct Hit {
    QList<qsizetype> spans; // 2 * (groups + 1)
    qsizetype start() const { return spans[0]; }
    qsizetype end() const { return spans[1]; }
};

// Searches from offset; false when nothing matches. Throws ERegexException on engine failures.
bool findAt(const Compiled &c, const QString &subject, qsizetype offset, Hit *hit) {
    pcre2_match_data *md = threadMatchData().forPairs(c.captureCount + 1);
    const auto *text = reinterpret_cast<PCRE2_SPTR>(subject.utf16());
    int rc = pcre2_match(c.code, text, PCRE2_SIZE(subject.size()), PCRE2_SIZE(offset), 0, md, nullptr);
    if (rc == PCRE2_ERROR_JIT_STACKLIMIT) // deep patterns: the interpreter has no fixed stack
        rc = pcre2_match(c.code, text, PCRE2_SIZE(subject.size()), PCRE2_SIZE(offset), PCRE2_NO_JIT, md, nullptr);
    if (rc == PCRE2_ERROR_NOMATCH)
        return false;
    if (rc < 0)
        throw matchError(rc);
    if (hit) {
        const PCRE2_SIZE *ov = pcre2_get_ovector_pointer(md);
        const uint32_t pairs = c.captureCount + 1;
        hit->spans.resize(2 * pairs);
        for (uint32_t i = 0; i < pairs; ++i) {
            const bool set = i < uint32_t(rc) && ov[2 * i] != PCRE2_UNSET;
            hit->spans[2 * i] = set ? qsizetype(ov[2 * i]) : -1;
            hit->spans[2 * i + 1] = set ? qsizetype(ov[2 * i + 1]) : -1;
        }
    }
    return true;
}

// Where the next search starts after a match: after an empty match, one character further.
qsizetype nextOffset(const QString &subject, const Hit &hit) {
    if (hit.end() > hit.start())
        return hit.end();
    qsizetype next = hit.end() + 1;
    if (next < subject.size() && subject.at(next - 1).isHighSurrogate() && subject.at(next).isLowSurrogate())
        ++next;
    return next;
}

QList<Hit> findAll(const Compiled &c, const QString &subject, bool global) {
    QList<Hit> hits;
    qsizetype offset = 0;
    while (offset <= subject.size()) {
        Hit hit;
        if (!findAt(c, subject, offset, &hit))
            break;
        hits << hit;
        if (!global)
            break;
        offset = nextOffset(subject, hit);
    }
    return hits;
}

// Appends the ECMAScript expansion of a replacement text for one match.
void expand(QString &out, const QString &replacement, const QString &subject, const Hit &hit, uint32_t groups) {
    const qsizetype n = replacement.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = replacement.at(i);
        if (c != u'$' || i + 1 >= n) {
            out += c;
            continue;
        }
        const QChar d = replacement.at(i + 1);
        if (d == u'$') {
            out += u'$';
            ++i;
        } else if (d == u'&') {
            out += QStringView(subject).mid(hit.start(), hit.end() - hit.start());
            ++i;
        } else if (d == u'`') {
            out += QStringView(subject).left(hit.start());
            ++i;
        } else if (d == u'\'') {
            out += QStringView(subject).mid(hit.end());
            ++i;
        } else if (d.isDigit() && d.unicode() < 128) {
            const uint32_t first = d.unicode() - u'0';
            uint32_t group = 0;
            qsizetype used = 0;
            if (i + 2 < n && replacement.at(i + 2).unicode() >= u'0' && replacement.at(i + 2).unicode() <= u'9') {
                const uint32_t two = first * 10 + (replacement.at(i + 2).unicode() - u'0');
                if (two >= 1 && two <= groups) {
                    group = two;
                    used = 2;
                }
            }
            if (!used && first >= 1 && first <= groups) {
                group = first;
                used = 1;
            }
            if (!used) {
                out += u'$'; // no such group: the text stays as written
                continue;
            }
            const qsizetype s = hit.spans[2 * group];
            if (s >= 0)
                out += QStringView(subject).mid(s, hit.spans[2 * group + 1] - s);
            i += used;
        } else {
            out += u'$';
        }
    }
}

QString replaceIn(const Compiled &c, const QString &subject, const QString &replacement, bool global) {
    const QList<Hit> hits = findAll(c, subject, global);
    if (hits.isEmpty())
        return subject;
    QString out;
    out.reserve(subject.size());
    qsizetype copied = 0;
    for (const Hit &hit : hits) {
        out += QStringView(subject).mid(copied, hit.start() - copied);
        expand(out, replacement, subject, hit, c.captureCount);
        copied = hit.end();
    }
    out += QStringView(subject).mid(copied);
    return out;
}

// ---------------------------------------------------------------- result objects

class TSubMatches : public ISubMatches {
public:
    TSubMatches(QList<QVariant> items) : m_items(std::move(items)) {}
    int Count() const override { return int(m_items.size()); }
    QVariant Item(int index) const override {
        if (index < 0 || index >= m_items.size())
            throw ERegexException::FromCode(kSubscriptOutOfRange, QString());
        return m_items.at(index);
    }

private:
    QList<QVariant> m_items;
};

class TMatch : public IMatch {
public:
    TMatch(const QString &subject, const Hit &hit) : m_hit(hit) {
        m_value = subject.mid(hit.start(), hit.end() - hit.start());
        for (qsizetype g = 1; g < hit.spans.size() / 2; ++g) {
            const qsizetype s = hit.spans[2 * g];
            m_groups << (s >= 0 ? QVariant(subject.mid(s, hit.spans[2 * g + 1] - s)) : QVariant());
        }
    }
    QString Value() const override { return m_value; }
    int FirstIndex() const override { return int(m_hit.start()); }
    int Length() const override { return int(m_hit.end() - m_hit.start()); }
    std::shared_ptr<ISubMatches> SubMatches() const override { return std::make_shared<TSubMatches>(m_groups); }

private:
    Hit m_hit;
    QString m_value;
    QList<QVariant> m_groups;
};

class TMatchCollection : public IMatchCollection {
public:
    TMatchCollection(const QString &subject, const QList<Hit> &hits) {
        for (const Hit &hit : hits)
            m_matches << std::make_shared<TMatch>(subject, hit);
    }
    int Count() const override { return int(m_matches.size()); }
    std::shared_ptr<IMatch> Item(int index) const override {
        if (index < 0 || index >= m_matches.size())
            throw ERegexException::FromCode(kSubscriptOutOfRange, QString());
        return m_matches.at(index);
    }

private:
    QList<std::shared_ptr<IMatch>> m_matches;
};

// ---------------------------------------------------------------- the expression object

class TRegex : public IRegex {
public:
    TRegex(const QString &pattern, TRegexFlags flags) : m_pattern(pattern), m_flags(flags) {}

    QString Pattern() const override { return m_pattern; }
    bool IgnoreCase() const override { return m_flags & rxIgnoreCase; }
    bool Multiline() const override { return m_flags & rxMultiline; }

    bool IsMatch(const QString &input) override { return findAt(compiled(), input, 0, nullptr); }
    std::shared_ptr<IMatchCollection> Match(const QString &input) override {
        return std::make_shared<TMatchCollection>(input, findAll(compiled(), input, false));
    }
    std::shared_ptr<IMatchCollection> Matches(const QString &input) override {
        return std::make_shared<TMatchCollection>(input, findAll(compiled(), input, true));
    }
    QString Replace(const QString &input, const QString &replacement) override {
        return replaceIn(compiled(), input, replacement, false);
    }
    QString ReplaceAll(const QString &input, const QString &replacement) override {
        return replaceIn(compiled(), input, replacement, true);
    }

private:
    const Compiled &compiled() {
        if (!m_compiled)
            m_compiled = threadCache().get(m_pattern, m_flags);
        return *requireCompiled(m_compiled);
    }

    QString m_pattern;
    TRegexFlags m_flags;
    CompiledPtr m_compiled;
};

} // namespace

std::shared_ptr<IRegex> Regex::New(const QString &pattern, TRegexFlags options) {
    return std::make_shared<TRegex>(pattern, TRegexFlags(options & (rxIgnoreCase | rxMultiline)));
}

bool Regex::IsMatch(const QString &pattern, TRegexFlags options, const QString &input) {
    const CompiledPtr c =
        requireCompiled(threadCache().get(pattern, TRegexFlags(options & (rxIgnoreCase | rxMultiline))));
    return findAt(*c, input, 0, nullptr);
}

QString Regex::Replace(const QString &pattern, const QString &input, const QString &replacement) {
    const CompiledPtr c = requireCompiled(threadCache().get(pattern, 0));
    return replaceIn(*c, input, replacement, false);
}
