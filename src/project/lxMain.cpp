#include "project/lxMain.h"

#include "engine/lxBatch.h"
#include "engine/lxConvertor.h"
#include "engine/lxFileName.h"
#include "engine/lxNode.h"
#include "info/lxInfo.h"
#include "project/lxProject.h"

#include <QMutexLocker>
#include <QThread>

#include <cstdio>
#include <stdexcept>

TlxMain *lxMain = nullptr;

TlxMain::TlxMain() = default;

TlxMain::~TlxMain() = default;

QString TlxMain::LogLine(const TlxNode &node) {
    // Names with bytes that are not UTF-8 are shown with those bytes escaped: a log is read by people.
    return TlxFileName::Display(
        QStringLiteral("%1 => %2 => %3").arg(TlxNode::StatusText(node.Status), node.SourceFile, node.ResultText));
}

QString TlxMain::FailedTextsParam(const QStringList &texts) {
    QStringList items;
    for (const QString &text : texts) {
        bool quote = false;
        for (const QChar c : text) {
            if (c <= u' ' || c == u',' || c == u'"') {
                quote = true;
                break;
            }
        }
        if (quote) {
            QString inner = text;
            inner.replace(QStringLiteral("\""), QStringLiteral("\"\""));
            items << u'"' + inner + u'"';
        } else {
            items << text;
        }
    }
    QString joined = items.join(u',');
    joined.replace(QStringLiteral("?"), QStringLiteral("%3F"));
    return joined;
}

QStringList TlxMain::Log() const {
    QMutexLocker lock(&m_logLock);
    return m_log;
}

void TlxMain::OnFileDone(TlxBatch *batch, TlxNode *node) {
    const QString line = LogLine(*node);
    QMutexLocker lock(&m_logLock);
    m_log << line;
    if (EchoToStdout) {
        // Printed under the same lock, so the screen shows the lines in log order.
        const QByteArray text =
            (EchoCount ? QStringLiteral("[%1/%2] ").arg(m_log.size()).arg(batch->NodeCount()) + line : line).toUtf8();
        std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
        std::fputc('\n', stdout);
        // A terminal sees every line at once; a pipe or file gets them at least every 50 ms, not in a system
        // call each (a run that skips thousands of files would spend its time there).
        if (EchoCount || !m_flushed.isValid() || m_flushed.elapsed() >= 50) {
            std::fflush(stdout);
            m_flushed.start();
        }
    }
}

void TlxMain::RunConsole() {
    {
        QMutexLocker lock(&m_logLock);
        m_log.clear();
    }
    // Without a target every output path would be relative to wherever the program happened to start.
    if (lxProject->Target().isEmpty())
        throw std::runtime_error("No target folder: set the \"Target\" option (for example -P:Source=/in/*.ppt?;"
                                 "Target=/out) or name a project that has one.");
    m_batch = std::make_unique<TlxBatch>();
    const bool subdir = lxProject->Subdir();
    const QString targetFolder = lxProject->TargetFolder();
    const QString source = lxProject->Source();
    m_batch->Search(source, targetFolder, subdir);
    m_convertor = TlxConvertor::CreateWorkers(m_batch.get(), lxProject->TargetFolder(),
                                              [this](TlxBatch *batch, TlxNode *node) { OnFileDone(batch, node); });
    const int count = m_convertor->ChainCount();
    RunningWorkers.store(count < 1 ? 1 : count);
    m_convertor->StartAll();
    if (lxInfo)
        lxInfo->UpdateStat(QStringLiteral("C"), 0, 1);
    // Every ending worker lowers the count and wakes this thread, so the run ends as soon as its last worker.
    for (int running = RunningWorkers.load(); running > 0; running = RunningWorkers.load())
        RunningWorkers.wait(running);
    m_convertor.reset(); // every worker has ended
    std::fflush(stdout);
    FinishRun();
    if (EchoToStdout && m_batch->NodeCount() == 0) {
        // Not an error (a watched folder may well be empty), but a user at a terminal should see why nothing
        // happened: a source that is a bare folder has no mask, for example.
        const QByteArray note =
            QStringLiteral("No file matches \"%1\"%2.\n")
                .arg(TlxFileName::Display(source),
                     source.endsWith(u'/') ? QStringLiteral(" (add a mask such as *.ppt?)") : QString())
                .toUtf8();
        std::fwrite(note.constData(), 1, size_t(note.size()), stderr);
    }
}

void TlxMain::FinishRun() {
    if (lxInfo) {
        lxInfo->UpdateStat(QStringLiteral("A"), 0, m_batch->NodeCount());
        lxInfo->UpdateStat(QStringLiteral("S"), 0, m_batch->Successes());
        lxInfo->UpdateStat(QStringLiteral("F"), 0, m_batch->Failures());
        if (m_batch->Failures() > 0)
            lxInfo->OpenLink(QString(), QStringLiteral("err&e=") + FailedTextsParam(m_batch->FailedTexts()), QString());
    }
    const QString logFile = lxProject->GetOption(QStringLiteral("LogFile"));
    if (!logFile.isEmpty())
        TlxProject::WriteLines(logFile, Log());
}
