#pragma once

#include "engine/lxBatch.h"
#include "engine/lxWorkBase.h"

#include <QMutex>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>

// An owner's handler without arguments (OnFinish). Bind an owner with a lambda.
using TlxEvent = std::function<void()>;

class TlxConvertor;

// Workers of the whole process that have not ended yet. An owner that waits by polling (the console run) sets it
// to the chain's worker count before StartAll; every worker subtracts 1 under its batch's lock as it ends.
extern std::atomic<int> RunningWorkers;

// The converter class of a run ("class reference"): makes one worker of a concrete converter class. Register a
// class with a static TlxConvertorClassOf<T> and put its address into the project's ConverterClass.
class TlxConvertorClass {
public:
    virtual ~TlxConvertorClass() = default;
    // A new worker, not started, not linked to a chain; the caller owns it (CreateWorkers wraps it in a
    // shared_ptr at once).
    virtual TlxConvertor *Create(TlxBatch *batch, int chainCount, TlxNodeEvent onNodeDone) const = 0;
};

template <class T> class TlxConvertorClassOf : public TlxConvertorClass {
public:
    TlxConvertor *Create(TlxBatch *batch, int chainCount, TlxNodeEvent onNodeDone) const override {
        return new T(batch, chainCount, std::move(onNodeDone));
    }
};

// A converter worker and the chain of workers of one run.
//
// A concrete converter derives from this, keeps the constructor signature (batch, chain count, OnNodeDone) and
// overrides ConvertNode; inside it, it uses TargetPath, DeleteTarget, FinishSource and the batch's AddSuccess and
// AddFailure, sets the node's Status and ResultText, and catches its own per-file errors (ElxError). It must not
// call OnNodeDone itself. What it opens on the worker's thread it releases in CleanUp (which runs on that thread
// when the worker ends, before OnFinish), not in its destructor (which runs on whichever thread lets go last).
//
// The owner:
//   1. head = CreateWorkers(batch, target, handler): every worker exists, not started;
//   2. reads head->ChainCount() (workers and OnFinish calls to expect: 1 when below 1);
//   3. optionally head->SetOnFinish(handler);
//   4. head->StartAll();
//   5. optionally head->StopAll();
//   6. hears of every worker's end through OnFinish or RunningWorkers, and keeps or drops the head as it likes:
//      the head and the chain stay valid while it is held, whether the workers have ended or not.
//
// When a worker ends, on its thread: CleanUp; then RunningWorkers - 1 under the batch's lock; then OnFinish on
// the main thread while the worker waits for it. This is the worker's last use of the batch, so a handler may
// destroy the batch once every worker has reported.
//
// OnFinish reaches the main thread through its event loop (a blocking queued call to the application object);
// on the main thread itself, or without an application object, it is called directly. So an owner whose main
// thread waits without serving events (the console run's polling loop) must leave OnFinish unassigned, or else
// pump events (QCoreApplication::processEvents) while it waits; and nothing on the main thread may wait for a
// worker while that worker may be delivering OnFinish.
class TlxConvertor : public TlxWorkBase {
public:
    TlxConvertor(TlxBatch *batch, int chainCount, TlxNodeEvent onNodeDone);
    ~TlxConvertor() override;

    // The batch's TargetDir becomes the normalised target (an empty one throws ElxError "Unable to create
    // directory"); then a chain of "ThreadsCount" workers of the project's ConverterClass (a plain TlxConvertor,
    // which converts nothing, when the project names none). A count below 1 gives one worker whose ChainCount
    // keeps the count. Returns the head.
    static std::shared_ptr<TlxConvertor> CreateWorkers(TlxBatch *batch, const QString &target,
                                                       const TlxNodeEvent &onNodeDone);

    // Starts this worker and every later one, head first.
    void StartAll();
    // Asks every worker from this one on to stop, the later ones first, and returns at once. Each finishes the
    // node it is on; the batch keeps the rest for later workers.
    void StopAll();
    // The count this worker was made with: the workers from here to the end of the chain.
    int ChainCount() const { return m_chainCount; }
    std::shared_ptr<TlxConvertor> NextWorker() const { return m_next; }

    // Sets the end handler on this worker and every later one.
    void SetOnFinish(const TlxEvent &handler);
    TlxEvent OnFinish() const;
    const TlxNodeEvent &OnNodeDone() const { return m_onNodeDone; }

    // The output path of a node, or empty when the node is skipped (the output exists and "IsOverwrite" is
    // "skip": the node is then marked nsSuccess). Sub-folders below the source folder are kept when
    // "KeepTargetSubdirs" is true; ':' in the name becomes '_'; the extension becomes the project's TargetExt
    // (for the default format; any other "Format" brings its own extension); the output exists when the file of
    // the first slide the run writes exists;
    // missing folders are created ("CreateDir Failed: " + folder goes to the batch's failures when that fails,
    // and the path is still returned); an existing output under "IsOverwrite" false gives the name
    // "-<ShortName>-<name>" in the same folder.
    // A skipped node's output path goes to existing when given.
    static QString TargetPath(TlxBatch *batch, TlxNode *node, QString *existing = nullptr);
    // Deletes an old output; failures are ignored.
    static void DeleteTarget(const QString &path);
    // The old output files of a path as they are now, to be compared after a new conversion wrote its files.
    struct OldFile {
        QString path;
        quint64 inode = 0;
        qint64 mtimeNs = 0;
        qint64 size = 0;
    };
    static QList<OldFile> OldOutputs(const QString &path);
    // Deletes those old files that are still the very same files: the new conversion did not write them (slides
    // the deck no longer has). Until then an old output stays whole, also when the new conversion fails.
    static void DeleteLeftOver(const QList<OldFile> &old);
    // An output and the files of its further slides (name-2.ext, name-3.ext, ...) that exist, in slide order;
    // only the slides that "Slides" chooses, and for a one-file-per-deck format just the output.
    static QStringList SlideFiles(const QString &path);
    // The after-conversion actions, by the options "KeepFileTime" (the source's access and modification times
    // go to the output), "DeleteSource" and "RenameSource" (a suffix appended to the source's name). Failures
    // are ignored.
    static void FinishSource(TlxBatch *batch, TlxNode *node, const QString &outputPath);

protected:
    // Converts one node. Does nothing here.
    virtual void ConvertNode(TlxBatch *batch, TlxNode *node);
    // ConvertNode, then OnNodeDone on this worker's thread.
    void ProcessNode() override;

private:
    void WorkerEnded() final;

    const int m_chainCount;
    const TlxNodeEvent m_onNodeDone;
    std::shared_ptr<TlxConvertor> m_next;
    mutable QMutex m_finishLock;
    TlxEvent m_onFinish;
};
