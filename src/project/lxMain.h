#pragma once

#include <QElapsedTimer>
#include <QMutex>
#include <QString>
#include <QStringList>

#include <memory>

class TlxBatch;
class TlxConvertor;
class TlxNode;

// Drives a run without any window: one batch, one chain of workers, one log line per file, then the counters,
// the failure report and the log file.
class TlxMain {
public:
    TlxMain();
    ~TlxMain();
    TlxMain(const TlxMain &) = delete;
    TlxMain &operator=(const TlxMain &) = delete;

    // The whole console run. Throws when the run cannot start (no target) or its log file cannot be written.
    void RunConsole();
    // Called by the workers on their own threads after each file.
    void OnFileDone(TlxBatch *batch, TlxNode *node);
    // Counters, failure report and log file; main thread, after the last worker ended.
    void FinishRun();

    // "Success => /in/a.pptx => /out/a.emf"
    static QString LogLine(const TlxNode &node);
    // The failure texts joined by "," with quoting where needed, "?" as "%3F": the report's "e" parameter.
    static QString FailedTextsParam(const QStringList &texts);

    QStringList Log() const;

    // Also print each line on stdout as its file finishes (with a running count on a terminal).
    bool EchoToStdout = false;
    bool EchoCount = false;

private:
    std::unique_ptr<TlxBatch> m_batch;
    std::shared_ptr<TlxConvertor> m_convertor; // head of the chain; each worker ends by itself
    mutable QMutex m_logLock;
    QElapsedTimer m_flushed; // when the console lines were last flushed (under m_logLock)
    QStringList m_log;
};

// The single console driver.
extern TlxMain *lxMain;
