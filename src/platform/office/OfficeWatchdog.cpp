#include "platform/office/OfficeWatchdog.h"

namespace office {

OfficeWatchdog::OfficeWatchdog(std::function<void()> onExpiry)
    : m_onExpiry(std::move(onExpiry)), m_thread([this] { run(); }) {}

OfficeWatchdog::~OfficeWatchdog() {
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_stop = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void OfficeWatchdog::Arm(std::chrono::milliseconds limit) {
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_armed = true;
        m_fired = false;
        m_deadline = std::chrono::steady_clock::now() + limit;
    }
    m_changed.notify_all();
}

void OfficeWatchdog::Disarm() {
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_armed = false;
    }
    m_changed.notify_all();
}

void OfficeWatchdog::run() {
    std::unique_lock<std::mutex> g(m_lock);
    while (!m_stop) {
        if (!m_armed) {
            m_changed.wait(g);
            continue;
        }
        if (m_changed.wait_until(g, m_deadline) == std::cv_status::timeout && m_armed && !m_stop &&
            std::chrono::steady_clock::now() >= m_deadline) {
            m_armed = false;
            m_fired = true;
            // The action only signals a process; holding the lock keeps Arm/Disarm ordered around it.
            m_onExpiry();
        }
    }
}

} // namespace office
