#pragma once

#include "base/lxError.h"

#include <QString>
#include <QVariant>
#include <QtGlobal>

#include <memory>

// Regular-expression testing and replacing with ECMAScript pattern syntax (the syntax users type into the
// "RegExt" option and that file masks are turned into).
//
// Patterns compile lazily, inside the searching operations: a faulty pattern raises ERegexException from IsMatch,
// Match, Matches, Replace or ReplaceAll, never from Regex::New. Compiled patterns are cached per thread; the cache
// changes no result. Objects returned here are used by one thread at a time; the class-level operations of Regex
// may be called from any number of threads at once.

// Option bits, combined into a TRegexFlags set. Bits not given mean case-sensitive and single-line.
enum TRegexFlag : quint8 {
    rxIgnoreCase = 0x01,
    rxMultiline = 0x02,
};
using TRegexFlags = quint8;

// One entry of the script error table.
struct TVBScriptErrRec {
    qint32 Code;
    const char *Msg;
};

// The script error table: 43 entries, alphabetical by message, searched from the first entry.
constexpr int VBScriptErrorCount = 43;
extern const TVBScriptErrRec VBScriptErrors[VBScriptErrorCount];

// Raised for every failure of a searching operation.
class ERegexException : public ElxError {
public:
    ERegexException(const QString &message, qint32 errorCode) : ElxError(message), m_errorCode(errorCode) {}

    // The full 32-bit code of the failure: the table's number in the low 16 bits, the engine's own error number
    // in the high 16 bits.
    qint32 ErrorCode() const { return m_errorCode; }

    // The exception for a failure with the given full code: the table message for its low 16 bits, else the
    // engine's own message.
    static ERegexException FromCode(qint32 errorCode, const QString &engineMessage);

private:
    qint32 m_errorCode;
};

// The groups of one match. Item(0) is the first group; an unset group gives an invalid QVariant.
class ISubMatches {
public:
    virtual ~ISubMatches() = default;
    virtual int Count() const = 0;
    virtual QVariant Item(int index) const = 0;
};

// One match. FirstIndex is the 0-based position in the input, in UTF-16 code units.
class IMatch {
public:
    virtual ~IMatch() = default;
    virtual QString Value() const = 0;
    virtual int FirstIndex() const = 0;
    virtual int Length() const = 0;
    virtual std::shared_ptr<ISubMatches> SubMatches() const = 0;
};

// The matches of Match (at most one) or Matches (all). Item is 0-based; an index out of range raises
// ERegexException "Subscript out of range".
class IMatchCollection {
public:
    virtual ~IMatchCollection() = default;
    virtual int Count() const = 0;
    virtual std::shared_ptr<IMatch> Item(int index) const = 0;
};

// A configured expression. Every searching operation decides for itself whether it looks for the first match or
// for all of them, so Matches or ReplaceAll never changes what a later IsMatch, Match or Replace does.
// Replacement texts follow ECMAScript: "$&" the match, "$1".."$99" a group (empty when unset; literal when the
// pattern has no such group), "$`" the text before the match, "$'" the text after it, "$$" a dollar sign.
class IRegex {
public:
    virtual ~IRegex() = default;
    virtual QString Pattern() const = 0;
    virtual bool IgnoreCase() const = 0;
    virtual bool Multiline() const = 0;
    // A search: the pattern may match any part of the input; only its own anchors tie it to the ends.
    virtual bool IsMatch(const QString &input) = 0;
    virtual std::shared_ptr<IMatchCollection> Match(const QString &input) = 0;
    virtual std::shared_ptr<IMatchCollection> Matches(const QString &input) = 0;
    virtual QString Replace(const QString &input, const QString &replacement) = 0;
    virtual QString ReplaceAll(const QString &input, const QString &replacement) = 0;
};

// The way the rest of the program uses the service.
class Regex {
public:
    Regex() = delete;

    static std::shared_ptr<IRegex> New(const QString &pattern, TRegexFlags options = 0);
    // Whether the pattern matches somewhere in the input.
    static bool IsMatch(const QString &pattern, TRegexFlags options, const QString &input);
    // The input with its first match replaced; case-sensitive, single-line.
    static QString Replace(const QString &pattern, const QString &input, const QString &replacement);
};
