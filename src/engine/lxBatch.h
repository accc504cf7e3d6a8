#pragma once

#include "engine/lxFileSearch.h"
#include "engine/lxNode.h"
#include "engine/lxPreviewCache.h"
#include "engine/lxShard.h"

#include <QList>
#include <QMutex>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QThread>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

// Called for a node of a batch: after a node is added (OnNode, on the adding thread) and after a worker has
// processed it (OnNodeDone, on the worker's thread). Bind an owner with a lambda.
using TlxNodeEvent = std::function<void(TlxBatch *, TlxNode *)>;

// One run's list of input files. The batch is itself the search thread: Search starts it, the thread walks the
// source folder and appends a node for every accepted file, while converter workers take nodes with NextNode,
// each node exactly once: in list order while the search runs, the biggest files first once the list is complete
// (the list itself keeps its order).
//
// Ownership: the owner creates and destroys the batch (it never frees itself) and must destroy it only when no
// worker uses it any more. The batch owns its nodes; they are freed with it.
//
// Locking: one lock guards the nodes, the hand-out index, the failure count and texts; the claimed output names
// have a lock of their own, the success count is atomic. A lock is held only for list and counter updates;
// nothing is called out (no handler, no file access) while it is held.
// LockNodes/UnlockNodes let an owner hold the list steady while it reads it; it must not wait for another thread
// meanwhile.
class TlxBatch : public QThread, public TlxFileSearch {
public:
    TlxBatch();
    // Asks the search to stop, waits for the search thread to end, then frees the nodes.
    ~TlxBatch() override;

    // Sets the search parameters and starts the search thread. source is the folder with a file mask
    // ("/in/*.ppt?"), target the output folder; both may be file URLs (see NormalizePath). The target folder is
    // created when missing (a failure shows up per file later). An empty target throws ElxError
    // "Unable to create directory" and starts nothing. A second Search, or a Search after AddFileAndComplete,
    // changes the parameters but starts nothing.
    void Search(const QString &source, const QString &target, bool recurse);
    // The same over several sources in one list, in the order given: each is a folder with a mask or a file
    // (which is then taken whatever the mask). A file found twice is listed once.
    void Search(const QStringList &sources, const QString &target, bool recurse);

    // Appends a node for path when it passes the file-name filter, then calls OnNode without the lock held.
    void AddFile(const QString &path) override;
    // AddFile, then marks the list complete (also when AddFile or the OnNode handler throws). For runs over
    // files chosen one by one: no search runs then, and every path passes the filter.
    void AddFileAndComplete(const QString &path);

    int NodeCount() const;
    // The next node not yet handed out: in list order while the list grows; once it is complete, the rest by
    // file size, biggest first (lists of up to kOrderedAtMost files left). While the list is not complete and every
    // node is taken, waits in 1 ms steps; returns null once the list is complete and every node is taken (and
    // sets Exhausted).
    TlxNode *NextNode();
    // No more nodes will be added: the search has ended, or AddFileAndComplete was called.
    bool Complete() const { return m_complete.load(std::memory_order_acquire); }
    // A hand-out found every node taken after the list was complete. A batch stopped before that (a pause)
    // keeps its place: workers created later carry on with the first node not handed out.
    bool Exhausted() const { return m_exhausted.load(std::memory_order_acquire); }
    // How many nodes have been handed out.
    int NextIndex() const;
    static constexpr int kOrderedAtMost = 5000;

    void AddSuccess();
    // Counts a failure and keeps its text once (texts that differ only in letter case are the same).
    void AddFailure(const QString &text);
    // Reserves an output path for one file of this batch; false when another file of the batch already has it.
    bool ClaimOutput(const QString &path);
    int Successes() const;
    int Failures() const;
    QStringList FailedTexts() const;

    // Takes the lock and returns the node list; UnlockNodes releases it.
    const QList<TlxNode *> &LockNodes();
    void UnlockNodes();

    // Turns a file URL into a path: a text beginning with "file:" (lower case) loses that prefix and the slashes
    // after it and gets one '/' in front ("file:///home/a.ppt" gives "/home/a.ppt", "file:///" gives "/"); with
    // exactly two slashes the host is kept in network form ("file://server/share/a.ppt" gives
    // "//server/share/a.ppt"). Any other text comes back unchanged. Regular-expression failures propagate.
    static QString NormalizePath(const QString &text);

    // The terminate request: the search stops after its current directory entry and the list becomes complete.
    void Terminate() { m_terminate.store(true, std::memory_order_release); }
    bool Terminated() const { return m_terminate.load(std::memory_order_acquire); }

    // Search parameters. SourceDir ends with '/' (or is empty); TargetDir is the output folder given to Search,
    // replaced by CreateWorkers.
    QString SourceDir() const;
    QString TargetDir() const;
    void SetTargetDir(const QString &targetDir);
    bool Recurse() const;
    QString Mask() const override;
    // The project's "RegExt" and "SkipHidden", read when the search thread starts. Its "Shard" ("K/N") is read by
    // Search, which throws ElxError for an invalid one; the search then takes only that share of the files.
    QString RegExt() const override;
    bool SkipHidden() const;

    // Called after each node is added, on the adding thread. Assign before Search or AddFile.
    TlxNodeEvent OnNode;

    // Where the workers put small pictures of the slides they write; none (the default) makes none. Set it
    // before the workers start.
    void SetPreviews(std::shared_ptr<TlxPreviewCache> previews);
    std::shared_ptr<TlxPreviewCache> Previews() const;

protected:
    void run() override;
    // Appends a node for path (the share permitting), without the file-name filter.
    void addNode(const QString &path);
    // Once the list is complete: the nodes not yet handed out, biggest file first.
    void orderBySize();
    bool TerminateRequested() const override { return Terminated(); }

private:
    mutable QMutex m_lock;
    QList<TlxNode *> m_nodes;
    int m_nextIndex = 0;         // the next node in list order, until the rest is ordered by size
    std::vector<int> m_order;    // the rest by size once the list was complete: indices in hand-out order
    size_t m_orderPos = 0;
    int m_handedOut = 0;
    std::atomic<bool> m_ordering{false}; // one worker orders the rest
    std::atomic<int> m_successes{0};
    int m_failures = 0;
    QStringList m_failedTexts;
    QMutex m_claimLock;              // guards m_claimedOutputs alone
    QSet<QString> m_claimedOutputs;
    QString m_sourceDir;
    QStringList m_sources;  // every source of the search, as given; the one being searched sets m_sourceDir
    QSet<QString> m_listed; // the files listed so far, while there is more than one source
    QString m_targetDir;
    QString m_mask;
    QString m_regExt;
    bool m_recurse = false;
    std::shared_ptr<TlxPreviewCache> m_previews;
    TlxShard m_shard; // set by Search before its thread starts, then only read by it
    bool m_skipHidden = false;
    bool m_started = false;
    std::atomic<bool> m_complete{false};
    std::atomic<bool> m_exhausted{false};
    std::atomic<bool> m_terminate{false};
};
