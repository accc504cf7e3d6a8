#pragma once

#include "service/ServiceJob.h"
#include "service/ServiceWorker.h"

#include <QStringList>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

class ServiceMetrics;

// The service's workers and the requests waiting for them: a bounded queue, taken from by long-lived workers
// that each keep their own office for as long as the service runs.
class ServicePool {
public:
    ServicePool(int workers, int queueLimit, int timeoutSeconds, ServiceMetrics &metrics);
    ~ServicePool();
    void Start();

    enum class Submitted { Accepted, Full, Stopping };
    // Queues a request's job: Full when as many wait as the queue holds beyond the idle workers.
    Submitted Submit(const std::shared_ptr<ServiceJob> &job);
    // No new jobs; those waiting end unconverted ("the service is stopping"); workers finish the job in hand.
    void Close();
    // Close, then every worker ends and quits its office; returns when all have.
    void Stop();

    struct Counts {
        int waiting = 0, busy = 0, ready = 0; // ready: workers whose office can convert (idle or converting)
        QStringList states;                   // each worker's, in order
    };
    Counts Snapshot() const;

    // The workers' side.
    std::shared_ptr<ServiceJob> Take(); // waits for a job; null once the pool closes
    void Done();                        // the job taken last is finished
    bool Stopping() const;
    void WaitForStop(int milliseconds);

private:
    const int m_queueLimit;
    std::vector<std::unique_ptr<ServiceWorker>> m_workers;
    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    std::deque<std::shared_ptr<ServiceJob>> m_waiting;
    int m_busy = 0;
    bool m_closed = false;
};
