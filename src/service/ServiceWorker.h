#pragma once

#include "automation/DispatchObject.h"
#include "service/ServiceJob.h"

#include <QString>

#include <atomic>
#include <memory>

class QThread;
class ServicePool;
class ServiceMetrics;

// A long-lived converter worker of the service: its own thread, which starts its office once, converts the decks
// of one request after another with that request's options, and quits the office when the service stops. The
// office is started, replaced and ended by this thread alone: its parent-death signal belongs to the thread that
// started it, which lives as long as the office.
class ServiceWorker {
public:
    enum State { Starting, Ready, Converting, Down, Ended };

    ServiceWorker(ServicePool &pool, ServiceMetrics &metrics, int timeoutSeconds);
    ~ServiceWorker();
    void Start();
    // Waits for the thread to end (after ServicePool::Stop).
    void Join();
    State CurrentState() const { return m_state.load(std::memory_order_acquire); }
    static const char *StateName(State state);

private:
    void run();
    bool startOffice();
    void quitOffice();
    void convert(ServiceJob &job);
    void convertDeck(ServiceDeck &deck, const TlxOutputOptions &options);
    QStringList writtenFiles(const QString &output, const TlxOutputOptions &options, int slides) const;
    void describe(ServiceDeck &deck) const;
    qint64 officeProcess();
    void noteOffice();
    bool alive();
    void closePresentation();

    ServicePool &m_pool;
    ServiceMetrics &m_metrics;
    const int m_timeoutSeconds;
    std::atomic<State> m_state{Starting};
    QThread *m_thread = nullptr;
    automation::DispatchRef m_app;
    automation::DispatchRef m_presentation;
    qint64 m_lastOffice = 0; // the office's process when last seen
};
