#pragma once

#include <QString>

#include <array>
#include <map>
#include <mutex>

// The service's counters, as Prometheus reads them from /metrics: requests by status, decks and slides converted,
// failures, the conversion time of a deck as a histogram, the queue's length and wait, office restarts.
class ServiceMetrics {
public:
    void Request(int status);
    void Deck(double seconds, int slides, bool failed);
    void QueueWait(double seconds);
    void OfficeRestart();
    // The exposition text; the gauges (queue length, workers busy and able to convert) from the caller.
    QString Text(int queueLength, int busyWorkers, int readyWorkers) const;

private:
    static constexpr std::array<double, 9> kBuckets = {0.5, 1, 2, 5, 10, 30, 60, 120, 300}; // seconds
    mutable std::mutex m_lock;
    std::map<int, quint64> m_requests;
    quint64 m_decks = 0, m_slides = 0, m_failures = 0, m_restarts = 0;
    std::array<quint64, kBuckets.size()> m_counts{};
    quint64 m_timed = 0;
    double m_seconds = 0;
    quint64 m_waits = 0;
    double m_waitSeconds = 0;
};
