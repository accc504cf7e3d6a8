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
    QString result;
    result.reserve(mask.size() * 2 + 1);
    for (qsizetype i = 0; i < mask.size();) {
        const QChar c = mask.at(i);
        if (c != u'*' && c != u'?') {
            if (c == u'.' || c == u'+' || c == u'^' || c == u'$' || c == u'(' || c == u')' || c == u'[' || c == u']' ||
                c == u'{' || c == u'}')
                result += u'\\';
            result += c;
            ++i;
            continue;
        }
        // A run of wildcards becomes one quantifier: ".*.*" or ".?.?.?" in a row make the engine try every way of
        // sharing the text between them, which for a few dozen of them never ends. A "\" right before the run
        // escapes the first dot, so that wildcard keeps a quantifier of its own.
        if (i > 0 && mask.at(i - 1) == u'\\') {
            result += c == u'*' ? u".*" : u".?";
            ++i;
        }
        qsizetype questions = 0;
        bool star = false;
        for (; i < mask.size() && (mask.at(i) == u'*' || mask.at(i) == u'?'); ++i) {
            star = star || mask.at(i) == u'*';
            questions += mask.at(i) == u'?';
        }
        if (star) {
            result += u".*";
        } else if (questions == 1) {
            result += u".?";
        } else {
            for (; questions > 0; questions -= qMin<qsizetype>(questions, 65535))
                result += QStringLiteral(".{0,%1}").arg(qMin<qsizetype>(questions, 65535));
        }
    }
    return result + u'$';
}
