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

    // The command line's own form: its sources (none: the project's Source), a JSON object a file instead of the
    // lines, no lines at all, a live status line under the lines (on a terminal), and a closing summary.
    QStringList Sources;
    bool Json = false;
    bool Quiet = false;
    bool StatusLine = false;
    bool Summary = false;
    // Files of the last run that failed.
    int Failures() const;

    // {"source":…,"status":"converted"|"skipped"|"failed","outputs":[…],"message":…,"seconds":…,"slides":…}
    static QByteArray JsonLine(const TlxNode &node);

private:
    // The status line's text: files done of found, slides, failures, pace and time left.
    QString statusText(int found) const;
    // Draws the status line, unless it was drawn less than a quarter of a second ago (and not now); under m_logLock.
    void drawStatus(int found, bool now);
    void printSummary();

    std::unique_ptr<TlxBatch> m_batch;
    std::shared_ptr<TlxConvertor> m_convertor; // head of the chain; each worker ends by itself
    mutable QMutex m_logLock;
    QElapsedTimer m_flushed; // when the console lines were last flushed (under m_logLock)
    QStringList m_log;
    QElapsedTimer m_started;     // the run's start
    QElapsedTimer m_statusDrawn; // when the status line was last drawn (under m_logLock)
    int m_slides = 0, m_converted = 0, m_skipped = 0, m_failed = 0; // under m_logLock
};

// The single console driver.
extern TlxMain *lxMain;
