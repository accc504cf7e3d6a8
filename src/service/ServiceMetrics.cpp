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
    // A metric of one value.
    const auto single = [&](const char *name, const char *type, const char *help, qint64 value) {
        metric(name, type, help);
        t += QStringLiteral("%1 %2\n").arg(QLatin1String(name)).arg(value);
    };
    metric("vorlane_requests_total", "counter", "Requests answered, by HTTP status.");
    for (const auto &[status, count] : m_requests)
        t += QStringLiteral("vorlane_requests_total{status=\"%1\"} %2\n").arg(status).arg(count);
    single("vorlane_decks_converted_total", "counter", "Decks converted.", qint64(m_decks));
    single("vorlane_slides_converted_total", "counter", "Slides written.", qint64(m_slides));
    single("vorlane_deck_failures_total", "counter", "Decks that failed.", qint64(m_failures));
    metric("vorlane_deck_seconds", "histogram", "Conversion time of a deck, queue wait not included.");
    for (std::size_t i = 0; i < kBuckets.size(); ++i)
        t += QStringLiteral("vorlane_deck_seconds_bucket{le=\"%1\"} %2\n").arg(kBuckets[i]).arg(m_counts[i]);
    t += QStringLiteral("vorlane_deck_seconds_bucket{le=\"+Inf\"} %1\n").arg(m_timed);
    t += QStringLiteral("vorlane_deck_seconds_sum %1\nvorlane_deck_seconds_count %2\n").arg(m_seconds).arg(m_timed);
    metric("vorlane_queue_wait_seconds", "summary", "Time requests waited for a worker.");
    t += QStringLiteral("vorlane_queue_wait_seconds_sum %1\nvorlane_queue_wait_seconds_count %2\n")
             .arg(m_waitSeconds)
             .arg(m_waits);
    single("vorlane_queue_length", "gauge", "Requests waiting for a worker.", queueLength);
    single("vorlane_workers_busy", "gauge", "Workers converting.", busyWorkers);
    single("vorlane_workers_ready", "gauge", "Workers whose office can convert.", readyWorkers);
    single("vorlane_office_restarts_total", "counter",
           "Offices replaced: after a hung or crashed deck, or for a deck that carries fonts.", qint64(m_restarts));
    return t;
}
