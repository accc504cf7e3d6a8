#include "service/ServicePool.h"

#include <chrono>

ServicePool::ServicePool(int workers, int queueLimit, int timeoutSeconds, ServiceMetrics &metrics)
    : m_queueLimit(std::max(0, queueLimit)) {
    for (int i = 0; i < std::max(1, workers); ++i)
        m_workers.push_back(std::make_unique<ServiceWorker>(*this, metrics, timeoutSeconds));
}

ServicePool::~ServicePool() {
    Stop();
}

void ServicePool::Start() {
    for (const auto &w : m_workers)
        w->Start();
}

ServicePool::Submitted ServicePool::Submit(const std::shared_ptr<ServiceJob> &job) {
    {
        std::lock_guard lock(m_lock);
        if (m_closed)
            return Submitted::Stopping;
        int idle = 0;
        for (const auto &w : m_workers)
            idle += w->CurrentState() == ServiceWorker::Ready;
        idle = std::max(0, idle - int(m_waiting.size()));
        if (int(m_waiting.size()) >= m_queueLimit + idle)
            return Submitted::Full;
        job->queued = std::chrono::steady_clock::now();
        m_waiting.push_back(job);
    }
    m_changed.notify_all();
    return Submitted::Accepted;
}

void ServicePool::Close() {
    std::deque<std::shared_ptr<ServiceJob>> left;
    {
        std::lock_guard lock(m_lock);
        m_closed = true;
        left.swap(m_waiting);
    }
    m_changed.notify_all();
    for (const auto &job : left)
        job->Finish(QStringLiteral("the service is stopping"));
}

void ServicePool::Stop() {
    Close();
    for (const auto &w : m_workers)
        w->Join();
}

ServicePool::Counts ServicePool::Snapshot() const {
    Counts c;
    std::lock_guard lock(m_lock);
    c.waiting = int(m_waiting.size());
    c.busy = m_busy;
    for (const auto &w : m_workers) {
        const ServiceWorker::State s = w->CurrentState();
        c.ready += s == ServiceWorker::Ready || s == ServiceWorker::Converting;
        c.states << QLatin1String(ServiceWorker::StateName(s));
    }
    return c;
}

std::shared_ptr<ServiceJob> ServicePool::Take() {
    std::unique_lock lock(m_lock);
    m_changed.wait(lock, [this] { return m_closed || !m_waiting.empty(); });
    if (m_closed)
        return nullptr;
    std::shared_ptr<ServiceJob> job = m_waiting.front();
    m_waiting.pop_front();
    ++m_busy;
    return job;
}

void ServicePool::Done() {
    {
        std::lock_guard lock(m_lock);
        --m_busy;
    }
    m_changed.notify_all();
}

bool ServicePool::Stopping() const {
    std::lock_guard lock(m_lock);
    return m_closed;
}

void ServicePool::WaitForStop(int milliseconds) {
    std::unique_lock lock(m_lock);
    m_changed.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return m_closed; });
}
