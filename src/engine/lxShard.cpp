#include "engine/lxShard.h"
#include "base/lxFileName.h"

#include "base/lxError.h"

#include <QRegularExpression>

TlxShard TlxShard::Parse(const QString &text) {
    const QString t = text.trimmed();
    TlxShard shard;
    if (t.isEmpty())
        return shard;
    static const QRegularExpression form(QStringLiteral("^([0-9]{1,9})\\s*/\\s*([0-9]{1,9})$"));
    const QRegularExpressionMatch m = form.match(t);
    const int k = m.hasMatch() ? m.captured(1).toInt() : 0;
    const int n = m.hasMatch() ? m.captured(2).toInt() : 0;
    if (k < 1 || n < 1 || k > n)
        throw ElxError(QStringLiteral("Invalid Shard \"%1\": give K/N with 1 <= K <= N, for example Shard=2/8 "
                                      "for the second of eight runs that share the files")
                           .arg(text));
    shard.m_index = k;
    shard.m_count = n;
    return shard;
}

quint64 TlxShard::Hash(const QString &relativePath) {
    quint64 h = 14695981039346656037ull;
    for (const char c : TlxFileName::Encode(relativePath)) {
        h ^= quint8(c);
        h *= 1099511628211ull;
    }
    return h;
}

bool TlxShard::Takes(const QString &relativePath) const {
    return IsAll() || Hash(relativePath) % quint64(m_count) == quint64(m_index - 1);
}
