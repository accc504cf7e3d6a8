#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace office {

// Runs an action when a deadline passes: a UNO call into a hung office blocks forever, and only killing the
// office process ends it. The action runs on the watchdog's own thread.
class OfficeWatchdog {
public:
    explicit OfficeWatchdog(std::function<void()> onExpiry);
    ~OfficeWatchdog();
    OfficeWatchdog(const OfficeWatchdog &) = delete;
    OfficeWatchdog &operator=(const OfficeWatchdog &) = delete;

    // Arms the deadline (replacing an armed one) and clears the fired flag.
    void Arm(std::chrono::milliseconds limit);
    void Disarm();
    // True once the action has run for the current arming.
    bool Fired() const { return m_fired.load(); }

private:
    void run();

    std::function<void()> m_onExpiry;
    std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_armed = false;
    bool m_stop = false;
    std::chrono::steady_clock::time_point m_deadline;
    std::atomic<bool> m_fired{false};
    std::thread m_thread;
};

} // namespace office
