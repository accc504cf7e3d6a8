#pragma once

#include <QString>

#include <atomic>

// Tests a full path against a regular expression. The base class accepts everything.
class TlxMatchBase {
public:
    virtual ~TlxMatchBase() = default;
    virtual bool TestPath(const QString &path, const QString &pattern) const;

    // While set, the folder scan leaves out files whose names begin with "~$" (the owner files an office
    // application keeps beside an open document). Set once at start-up.
    static inline std::atomic<bool> SkipOwnerFiles{false};
};

// The regular-expression test: a case-insensitive search anywhere in the path, anchored only by the pattern's own
// "^" and "$". Every failure (a pattern that does not compile) counts as a match, so a broken user expression
// never hides files. Stateless: one instance serves every thread.
class TlxMatch : public TlxMatchBase {
public:
    bool TestPath(const QString &path, const QString &pattern) const override;
};

// The program's matcher, created at start-up. While it is null the file filter accepts every path.
extern TlxMatchBase *Matcher;

// Turns a file mask into a regular expression: "." "+" "^" "$" "(" ")" "[" "]" "{" "}" are escaped, "*" becomes
// ".*" and "?" becomes ".?" (zero or one character); "\" and "|" pass unchanged. A run of wildcards gives one
// quantifier of the same meaning ("**" ".*", "???" ".{0,3}"). The result is anchored at the end only: "*.ppt?"
// gives ".*\.ppt.?$", the empty mask gives "$".
QString WildcardToRegex(const QString &mask);
