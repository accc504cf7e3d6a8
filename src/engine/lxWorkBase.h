#pragma once

#include <atomic>
#include <memory>

class QThread;
class TlxBatch;
class TlxNode;

// A bare worker: a thread that takes nodes from a batch and processes them, one at a time, until the batch has
// none left or the worker is asked to stop.
//
// Lifetime: workers are held by std::shared_ptr (make them with std::make_shared or through
// TlxConvertor::CreateWorkers). A started worker keeps itself alive until its thread has done its end steps, so it
// "frees itself" when nobody else holds it; a holder (the owner keeping the head of a chain) can go on calling it
// safely after its thread has ended. The C++ destructor runs on whichever thread lets go last, so anything bound
// to the worker's thread (an office application started there) belongs in CleanUp, not in a destructor.
//
// The thread, in order: Execute (the loop) -> CleanUp (subclass hook) -> the end-of-life bookkeeping of the
// derived class (TlxConvertor: running-worker count, OnFinish) -> the worker lets go of itself.
class TlxWorkBase : public std::enable_shared_from_this<TlxWorkBase> {
public:
    explicit TlxWorkBase(TlxBatch *batch);
    virtual ~TlxWorkBase();
    TlxWorkBase(const TlxWorkBase &) = delete;
    TlxWorkBase &operator=(const TlxWorkBase &) = delete;

    TlxBatch *Batch() const { return m_batch; }
    // The node taken last, the one being processed; null once the batch had none left. Worker thread only.
    TlxNode *CurrentNode() const { return m_currentNode; }

    // Starts the thread; later calls do nothing. When the system cannot create a thread, the end steps run at
    // once on the calling thread, so the owner still hears of this worker's end.
    void Start();
    // The terminate request: the worker ends after the node it is on (a worker waiting for a node still
    // processes the node it receives).
    void Terminate() { m_terminate.store(true, std::memory_order_release); }
    bool Terminated() const { return m_terminate.load(std::memory_order_acquire); }
    // The thread's body and end steps are over.
    bool Ended() const { return m_ended.load(std::memory_order_acquire); }

protected:
    // The loop: take the next node, process it, until there is none or a terminate request. An exception out of
    // ProcessNode puts its message into the node's ResultText and the loop goes on with the next node.
    virtual void Execute();
    // Processes CurrentNode. Does nothing here.
    virtual void ProcessNode();
    // Runs on the worker's thread after the loop, before OnFinish: release what belongs to this thread (quit
    // the office application). Exceptions are swallowed. A subclass overriding it calls its base's CleanUp.
    virtual void CleanUp();
    // The derived class's end-of-life bookkeeping, right after CleanUp, on the worker's thread (or on the
    // starting thread when the thread could not be created).
    virtual void WorkerEnded();

private:
    void ThreadMain();
    void RunEndSteps();

    TlxBatch *const m_batch;
    TlxNode *m_currentNode = nullptr;
    QThread *m_thread = nullptr;
    std::shared_ptr<TlxWorkBase> m_self; // the running worker's hold on itself
    std::atomic<bool> m_started{false};
    std::atomic<bool> m_ended{false};
    std::atomic<bool> m_terminate{false};
};
