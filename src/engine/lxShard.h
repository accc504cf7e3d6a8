#pragma once

#include <QString>

// One share of a run that several machines split between them ("Shard=K/N"): a file belongs to share K when the
// hash of its path below the source folder, taken modulo N, is K - 1. The hash (FNV-1a, 64 bits, over the
// path's UTF-8 bytes) is the same on every machine and in every run, so N runs with K = 1..N together take every
// file exactly once.
class TlxShard {
public:
    // No sharding: every file.
    TlxShard() = default;
    // Reads "K/N"; empty text means no sharding. Throws ElxError with a message for the user on anything else.
    static TlxShard Parse(const QString &text);

    bool IsAll() const { return m_count <= 1; }
    int Index() const { return m_index; }
    int Count() const { return m_count; }
    // Whether the file at this path below the source folder ('/' between folders) is this share's.
    bool Takes(const QString &relativePath) const;
    static quint64 Hash(const QString &relativePath);

private:
    int m_index = 1;
    int m_count = 1;
};
