#include "engine/lxMatch.h"

#include "regex/VBScriptRegex.h"

TlxMatchBase *Matcher = nullptr;

bool TlxMatchBase::TestPath(const QString &, const QString &) const {
    return true;
}

bool TlxMatch::TestPath(const QString &path, const QString &pattern) const {
    try {
        return Regex::IsMatch(pattern, rxIgnoreCase, path);
    } catch (...) {
        return true;
    }
}

QString WildcardToRegex(const QString &mask) {
    // The order matters: dots are escaped before "*" and "?" bring in their own.
    static const struct {
        const char16_t *from;
        const char16_t *to;
    } steps[] = {
        {u".", u"\\."}, {u"*", u".*"},  {u"?", u".?"},  {u"+", u"\\+"}, {u"^", u"\\^"}, {u"$", u"\\$"},
        {u"(", u"\\("}, {u")", u"\\)"}, {u"[", u"\\["}, {u"]", u"\\]"}, {u"{", u"\\{"}, {u"}", u"\\}"},
    };
    QString result = mask;
    for (const auto &step : steps)
        result.replace(QString::fromUtf16(step.from), QString::fromUtf16(step.to));
    return result + u'$';
}
