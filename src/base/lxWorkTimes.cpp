#include "base/lxWorkTimes.h"

#include <QMutex>
#include <QMutexLocker>

namespace {
using Clock = std::chrono::steady_clock;

struct ThreadTimes {
    TlxWorkTimes::Totals totals;
    int current = -1; // the phase running now, -1 none
    Clock::time_point since{};
    Clock::time_point first{};
    bool started = false;
};
thread_local ThreadTimes t_times;

QMutex &publishedLock() {
    static QMutex lock;
    return lock;
}
QList<TlxWorkTimes::Totals> &published() {
    static QList<TlxWorkTimes::Totals> list;
    return list;
}

// Books the time since the last switch to the running phase and makes phase the running one.
void switchTo(int phase, Clock::time_point now = Clock::now()) {
    ThreadTimes &t = t_times;
    if (!t.started) {
        t.started = true;
        t.first = now;
    }
    if (t.current >= 0)
        t.totals.seconds[t.current] += std::chrono::duration<double>(now - t.since).count();
    t.current = phase;
    t.since = now;
}
} // namespace

const char *TlxWorkTimes::Name(Phase phase) {
    switch (phase) {
    case WaitNode:
        return "wait for file";
    case StartOffice:
        return "start office";
    case Open:
        return "open";
    case Pictures:
        return "pictures";
    case Export:
        return "export";
    case Draw:
        return "draw";
    case Check:
        return "check";
    case Write:
        return "write";
    case Close:
        return "close";
    case PhaseCount:
        break;
    }
    return "?";
}

const char *TlxWorkTimes::Key(Phase phase) {
    static const char *const keys[PhaseCount] = {"wait", "startOffice", "open", "pictures", "pdf",
                                                 "draw",  "check",       "write", "close"};
    return phase >= 0 && phase < PhaseCount ? keys[phase] : "?";
}

TlxWorkTimes::Totals TlxWorkTimes::Totals::Since(const Totals &earlier) const {
    Totals d;
    for (int k = 0; k < PhaseCount; ++k)
        d.seconds[k] = seconds[k] - earlier.seconds[k];
    d.wall = wall - earlier.wall;
    return d;
}

double TlxWorkTimes::Totals::Busy() const {
    double sum = 0;
    for (double s : seconds)
        sum += s;
    return sum;
}

TlxWorkTimes::Scope::Scope(Phase phase) : m_outer(t_times.current) {
    switchTo(phase);
}

TlxWorkTimes::Scope::~Scope() {
    switchTo(m_outer);
}

TlxWorkTimes::Totals TlxWorkTimes::Current() {
    // One reading of the clock for the phases and the wall: two readings' differences stay consistent.
    const Clock::time_point now = Clock::now();
    switchTo(t_times.current, now);
    Totals totals = t_times.totals;
    totals.wall = std::chrono::duration<double>(now - t_times.first).count();
    return totals;
}

void TlxWorkTimes::Publish() {
    switchTo(t_times.current);
    ThreadTimes &t = t_times;
    if (!t.started)
        return;
    t.totals.wall = std::chrono::duration<double>(Clock::now() - t.first).count();
    {
        QMutexLocker lock(&publishedLock());
        published().append(t.totals);
    }
    t = ThreadTimes();
}

QList<TlxWorkTimes::Totals> TlxWorkTimes::Published() {
    QMutexLocker lock(&publishedLock());
    return published();
}

void TlxWorkTimes::Clear() {
    QMutexLocker lock(&publishedLock());
    published().clear();
}
