#pragma once

#include <QList>
#include <QMutex>
#include <QString>

#include <deque>

// Small pictures of the slides a window run writes, kept in a folder of the run's own under the user's cache
// folder (never beside the outputs) so that the window can show a converted deck's slides. Workers store what
// they made for a deck; the window reads it back by the deck's source path. The folder goes when the cache is
// destroyed; when it grows past its limit the decks stored first go.
class TlxPreviewCache {
public:
    struct Entry {
        int slide = 0;   // the slide's number in its deck; 0 for an existing output nothing was made for
        QString picture; // the small picture, or empty
        QString output;  // the file the slide was written to
    };

    // A new run folder below root (by default the user's cache folder); folders that earlier runs of ended
    // processes left there are removed first.
    explicit TlxPreviewCache(const QString &root = QString(), qint64 limitBytes = qint64(256) << 20);
    ~TlxPreviewCache();
    TlxPreviewCache(const TlxPreviewCache &) = delete;
    TlxPreviewCache &operator=(const TlxPreviewCache &) = delete;

    // The run folder; empty when it could not be made (nothing is stored then).
    QString Folder() const { return m_folder; }
    // The folder for a deck's pictures (made when missing). Any thread.
    QString DeckFolder(const QString &source) const;
    // Records what a deck's conversion made, replacing what was there, and keeps the cache within its limit.
    // Any thread.
    void Store(const QString &source, const QList<Entry> &entries);
    // What was recorded for a deck, in slide order; empty when nothing was (or it has gone).
    QList<Entry> Entries(const QString &source) const;
    // The size of the pictures kept now.
    qint64 Bytes() const;

    // The width in pixels of the pictures the workers make.
    static constexpr int kWidth = 240;

private:
    QString m_folder;
    const qint64 m_limit;
    mutable QMutex m_lock;
    struct Stored {
        QString folder;
        qint64 bytes;
    };
    std::deque<Stored> m_stored; // oldest first
    qint64 m_bytes = 0;
};
