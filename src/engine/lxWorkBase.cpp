#include "engine/lxWorkBase.h"

#include "base/lxError.h"
#include "base/lxWorkTimes.h"
#include "engine/lxBatch.h"

#include <QMutex>
#include <QMutexLocker>
#include <QThread>

#include <exception>
#include <vector>

namespace {

// Thread objects whose worker was destroyed on a thread that may not delete them (its own thread, which is still
// finishing, or another worker's). They are deleted later by their own creating thread, once they have finished.
struct ThreadGraveyard {
    QMutex lock;
    std::vector<QThread *> threads;
};

ThreadGraveyard &graveyard() {
    static auto *yard = new ThreadGraveyard; // never destroyed: workers may end during static destruction
    return *yard;
}

void buryThread(QThread *thread) {
    ThreadGraveyard &yard = graveyard();
    QMutexLocker lock(&yard.lock);
    yard.threads.push_back(thread);
}

// Deletes the finished threads that belong to the calling thread; never waits for one that is still running.
void reapThreads() {
    std::vector<QThread *> done;
    {
        ThreadGraveyard &yard = graveyard();
        QMutexLocker lock(&yard.lock);
        for (auto it = yard.threads.begin(); it != yard.threads.end();) {
            if ((*it)->thread() == QThread::currentThread() && (*it)->isFinished()) {
                done.push_back(*it);
                it = yard.threads.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (QThread *thread : done) {
        thread->wait();
        delete thread;
    }
}

} // namespace

TlxWorkBase::TlxWorkBase(TlxBatch *batch) : m_batch(batch) {
    reapThreads();
    m_thread = QThread::create([this] { ThreadMain(); });
}

TlxWorkBase::~TlxWorkBase() {
    if (m_thread->thread() == QThread::currentThread()) {
        m_thread->wait(); // the thread has let go of this worker: at most its last instructions are left
        delete m_thread;
        reapThreads();
    } else {
        buryThread(m_thread);
    }
}

void TlxWorkBase::Start() {
    if (m_started.exchange(true))
        return;
    const std::shared_ptr<TlxWorkBase> guard = shared_from_this();
    m_self = guard;
    m_thread->start();
    if (!m_thread->isRunning() && !m_thread->isFinished()) {
        // No thread: end at once, so that the owner's count of running workers and OnFinish calls comes out.
        RunEndSteps();
        m_self.reset();
    }
}

void TlxWorkBase::ThreadMain() {
    RunEndSteps();
    std::shared_ptr<TlxWorkBase> self = std::move(m_self);
    self.reset(); // may destroy this worker, here on its own thread
}

void TlxWorkBase::RunEndSteps() {
    if (m_thread->isRunning()) {
        try {
            Execute();
        } catch (...) {
            // Execute keeps per-node errors to the nodes; anything else must still let the worker end properly.
        }
    }
    try {
        TlxWorkTimes::Scope closing(TlxWorkTimes::Close);
        CleanUp();
    } catch (...) {
    }
    TlxWorkTimes::Publish();
    WorkerEnded();
    m_ended.store(true, std::memory_order_release);
}

void TlxWorkBase::Execute() {
    while (!Terminated()) {
        TlxNode *node = nullptr;
        {
            TlxWorkTimes::Scope waiting(TlxWorkTimes::WaitNode);
            node = m_batch ? m_batch->NextNode() : nullptr;
        }
        m_currentNode = node;
        if (!node) {
            Terminate();
            break;
        }
        try {
            ProcessNode();
        } catch (const ElxError &e) {
            node->ResultText = e.Message();
        } catch (const std::exception &e) {
            node->ResultText = QString::fromUtf8(e.what());
        } catch (...) {
            node->ResultText = QStringLiteral("Unknown error");
        }
    }
}

void TlxWorkBase::ProcessNode() {}

void TlxWorkBase::CleanUp() {}

void TlxWorkBase::WorkerEnded() {}
