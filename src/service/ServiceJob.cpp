#include "service/ServiceJob.h"

void ServiceJob::Finish(const QString &stopped) {
    {
        std::lock_guard lock(m_lock);
        m_finished = true;
        m_stopped = stopped;
    }
    m_done.notify_all();
}

bool ServiceJob::Wait() {
    std::unique_lock lock(m_lock);
    m_done.wait(lock, [this] { return m_finished; });
    return m_stopped.isEmpty();
}
