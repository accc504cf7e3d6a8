#include "service/ServiceMetrics.h"

void ServiceMetrics::Request(int status) {
    std::lock_guard lock(m_lock);
    ++m_requests[status];
}

void ServiceMetrics::Deck(double seconds, int slides, bool failed) {
    std::lock_guard lock(m_lock);
    ++(failed ? m_failures : m_decks);
    m_slides += quint64(slides);
    for (std::size_t i = 0; i < kBuckets.size(); ++i)
        m_counts[i] += seconds <= kBuckets[i];
    ++m_timed;
    m_seconds += seconds;
}

void ServiceMetrics::QueueWait(double seconds) {
    std::lock_guard lock(m_lock);
    ++m_waits;
    m_waitSeconds += seconds;
}

void ServiceMetrics::OfficeRestart() {
    std::lock_guard lock(m_lock);
    ++m_restarts;
}

QString ServiceMetrics::Text(int queueLength, int busyWorkers, int readyWorkers) const {
    std::lock_guard lock(m_lock);
    QString t;
    const auto metric = [&t](const char *name, const char *type, const char *help) {
        t += QStringLiteral("# HELP %1 %2\n# TYPE %1 %3\n")
                 .arg(QLatin1String(name), QLatin1String(help), QLatin1String(type));
    };
    metric("vorlane_requests_total", "counter", "Requests answered, by HTTP status.");
    for (const auto &[status, count] : m_requests)
        t += QStringLiteral("vorlane_requests_total{status=\"%1\"} %2\n").arg(status).arg(count);
    metric("vorlane_decks_converted_total", "counter", "Decks converted.");
    t += QStringLiteral("vorlane_decks_converted_total %1\n").arg(m_decks);
    metric("vorlane_slides_converted_total", "counter", "Slides written.");
    t += QStringLiteral("vorlane_slides_converted_total %1\n").arg(m_slides);
    metric("vorlane_deck_failures_total", "counter", "Decks that failed.");
    t += QStringLiteral("vorlane_deck_failures_total %1\n").arg(m_failures);
    metric("vorlane_deck_seconds", "histogram", "Conversion time of a deck, queue wait not included.");
    for (std::size_t i = 0; i < kBuckets.size(); ++i)
        t += QStringLiteral("vorlane_deck_seconds_bucket{le=\"%1\"} %2\n").arg(kBuckets[i]).arg(m_counts[i]);
    t += QStringLiteral("vorlane_deck_seconds_bucket{le=\"+Inf\"} %1\n").arg(m_timed);
    t += QStringLiteral("vorlane_deck_seconds_sum %1\nvorlane_deck_seconds_count %2\n").arg(m_seconds).arg(m_timed);
    metric("vorlane_queue_wait_seconds", "summary", "Time requests waited for a worker.");
    t += QStringLiteral("vorlane_queue_wait_seconds_sum %1\nvorlane_queue_wait_seconds_count %2\n")
             .arg(m_waitSeconds)
             .arg(m_waits);
    metric("vorlane_queue_length", "gauge", "Requests waiting for a worker.");
    t += QStringLiteral("vorlane_queue_length %1\n").arg(queueLength);
    metric("vorlane_workers_busy", "gauge", "Workers converting.");
    t += QStringLiteral("vorlane_workers_busy %1\n").arg(busyWorkers);
    metric("vorlane_workers_ready", "gauge", "Workers whose office can convert.");
    t += QStringLiteral("vorlane_workers_ready %1\n").arg(readyWorkers);
    metric("vorlane_office_restarts_total", "counter",
           "Offices replaced: after a hung or crashed deck, or for a "
           "deck that carries fonts.");
    t += QStringLiteral("vorlane_office_restarts_total %1\n").arg(m_restarts);
    return t;
}
