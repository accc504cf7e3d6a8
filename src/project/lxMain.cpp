#include "project/lxMain.h"

#include "base/lxFileName.h"
#include "engine/lxBatch.h"
#include "engine/lxConvertor.h"
#include "engine/lxNode.h"
#include "fonts/FontReport.h"
#include "info/lxInfo.h"
#include "project/lxProject.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutexLocker>
#include <QThread>

#include <algorithm>
#include <cmath>

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

namespace {
void write(const QByteArray &text) {
    std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
}
// Back to the start of the line, and the line cleared: where the status line was.
const char *const kClearLine = "\r\033[K";

bool skipped(const TlxNode &node) {
    return node.Status == nsSuccess && node.ResultText.isEmpty();
}
} // namespace

QByteArray TlxMain::JsonLine(const TlxNode &node) {
    // A skipped file's slides are looked up only here, so a run that skips thousands pays for it only when asked.
    const QStringList outputs =
        skipped(node) && !node.Outputs.isEmpty() ? TlxConvertor::SlideFiles(node.Outputs.first()) : node.Outputs;
    QJsonArray files;
    for (const QString &file : outputs)
        files.append(TlxFileName::Display(file));
    QJsonObject o;
    o.insert(QStringLiteral("source"), TlxFileName::Display(node.SourceFile));
    o.insert(QStringLiteral("status"), node.Status == nsFailure ? QStringLiteral("failed")
                                       : skipped(node)          ? QStringLiteral("skipped")
                                                                : QStringLiteral("converted"));
    o.insert(QStringLiteral("outputs"), files);
    o.insert(QStringLiteral("message"), node.Status == nsFailure ? TlxFileName::Display(node.ResultText) : QString());
    o.insert(QStringLiteral("seconds"), double(node.Millis) / 1000.0);
    o.insert(QStringLiteral("slides"), skipped(node) ? 0 : int(node.Outputs.size()));
    // Where the file's time went: the office's share (open, its PDF, picture limits) against this program's
    // (drawing, checking, writing), the measure the next speed step is chosen by.
    // "other": the rest of the file's time (reading the deck, its fonts, the worker's own steps).
    QJsonObject phases;
    const auto ms = [](double seconds) { return std::round(seconds * 1000) / 1000; };
    double timed = 0;
    for (auto phase : {TlxWorkTimes::StartOffice, TlxWorkTimes::Open, TlxWorkTimes::Export, TlxWorkTimes::Pictures,
                       TlxWorkTimes::Draw, TlxWorkTimes::Check, TlxWorkTimes::Write, TlxWorkTimes::Close}) {
        phases.insert(QLatin1String(TlxWorkTimes::Key(phase)), ms(node.Phases.seconds[phase]));
        timed += node.Phases.seconds[phase];
    }
    phases.insert(QStringLiteral("other"), ms(std::max(0.0, double(node.Millis) / 1000.0 - timed)));
    o.insert(QStringLiteral("phases"), phases);
    QJsonArray missing;
    for (const fonts::FontReport::Entry &e : node.Fonts)
        missing.append(QJsonObject{{QStringLiteral("asked"), e.asked},
                                   {QStringLiteral("drawnWith"), e.drawnWith},
                                   {QStringLiteral("how"), e.how}});
    o.insert(QStringLiteral("fontsMissing"), missing);
    QJsonArray equations, pictures;
    for (const auto &[slide, count] : node.Equations)
        equations.append(QJsonObject{{QStringLiteral("slide"), slide}, {QStringLiteral("equations"), count}});
    for (const auto &[file, count] : node.PictureParts)
        pictures.append(
            QJsonObject{{QStringLiteral("file"), TlxFileName::Display(file)}, {QStringLiteral("parts"), count}});
    // Equations the office cannot draw, drawn from the picture PowerPoint saved of each; parts of slides an EMF
    // holds as pictures (soft masks, blend modes, symbol glyphs, right-to-left text in a face readers lack).
    o.insert(QStringLiteral("equationPictures"), equations);
    o.insert(QStringLiteral("pictureParts"), pictures);
    return QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
}

int TlxMain::Failures() const {
    return m_batch ? m_batch->Failures() : 0;
}

QString TlxMain::statusText(int found) const {
    const int done = m_converted + m_skipped + m_failed;
    const double minutes = std::max(1, int(m_started.elapsed())) / 60000.0;
    const double pace = done / minutes;
    QString text = QStringLiteral("%1/%2 files, %3 slides, %4 failed, %5 files/min")
                       .arg(done)
                       .arg(found)
                       .arg(m_slides)
                       .arg(m_failed)
                       .arg(pace, 0, 'f', 1);
    if (done > 0 && found > done) {
        const qint64 left = qint64((found - done) / pace * 60);
        text += QStringLiteral(", %1:%2 left").arg(left / 60).arg(left % 60, 2, 10, QLatin1Char('0'));
    }
    return text;
}

void TlxMain::drawStatus(int found, bool now) {
    if (!now && m_statusDrawn.isValid() && m_statusDrawn.elapsed() < 250) {
        std::fflush(stdout);
        return;
    }
    write(kClearLine + statusText(found).toUtf8());
    std::fflush(stdout);
    m_statusDrawn.start();
}

void TlxMain::printSummary() {
    QMutexLocker lock(&m_logLock);
    const int files = m_converted + m_skipped + m_failed;
    const double seconds = m_started.elapsed() / 1000.0;
    if (Json) {
        QJsonObject o;
        o.insert(QStringLiteral("summary"), true);
        o.insert(QStringLiteral("files"), files);
        o.insert(QStringLiteral("converted"), m_converted);
        o.insert(QStringLiteral("skipped"), m_skipped);
        o.insert(QStringLiteral("failed"), m_failed);
        o.insert(QStringLiteral("slides"), m_slides);
        o.insert(QStringLiteral("seconds"), seconds);
        write(QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n');
    } else {
        write(QStringLiteral("%1%2 files: %3 converted, %4 skipped, %5 failed; %6 slides in %7 s\n")
                  .arg(StatusLine ? QLatin1String(kClearLine) : QLatin1String())
                  .arg(files)
                  .arg(m_converted)
                  .arg(m_skipped)
                  .arg(m_failed)
                  .arg(m_slides)
                  .arg(seconds, 0, 'f', 1)
                  .toUtf8());
    }
    std::fflush(stdout);
}

void TlxMain::OnFileDone(TlxBatch *batch, TlxNode *node) {
    const QString line = LogLine(*node);
    QMutexLocker lock(&m_logLock);
    m_log << line;
    if (Summary) {
        m_failed += node->Status == nsFailure;
        m_skipped += skipped(*node);
        m_converted += node->Status == nsSuccess && !skipped(*node);
        m_slides += skipped(*node) ? 0 : int(node->Outputs.size());
    }
    if (Json) {
        write(JsonLine(*node));
        std::fflush(stdout);
        return;
    }
    if (StatusLine) {
        // The lines scroll above; the status line is drawn anew under them, a few times a second at most (the
        // run's own thread draws it in between).
        if (!Quiet)
            write(kClearLine + line.toUtf8() + '\n');
        drawStatus(batch->NodeCount(), false);
        return;
    }
    if (Quiet)
        return;
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
    m_started.start();
    const bool subdir = lxProject->Subdir();
    const QString targetFolder = lxProject->TargetFolder();
    const QString source = Sources.isEmpty() ? lxProject->Source() : Sources.join(QStringLiteral(", "));
    m_batch->Search(Sources.isEmpty() ? QStringList{source} : Sources, targetFolder, subdir);
    m_convertor = TlxConvertor::CreateWorkers(m_batch.get(), lxProject->TargetFolder(),
                                              [this](TlxBatch *batch, TlxNode *node) { OnFileDone(batch, node); });
    const int count = m_convertor->ChainCount();
    RunningWorkers.store(count < 1 ? 1 : count);
    m_convertor->StartAll();
    if (lxInfo)
        lxInfo->UpdateStat(QStringLiteral("C"), 0, 1);
    // Every ending worker lowers the count and wakes this thread, so the run ends as soon as its last worker.
    for (int running = RunningWorkers.load(); running > 0; running = RunningWorkers.load()) {
        if (!StatusLine) {
            RunningWorkers.wait(running);
            continue;
        }
        // The status line's pace and time left move on also while no file finishes.
        QThread::msleep(100);
        QMutexLocker lock(&m_logLock);
        drawStatus(m_batch->NodeCount(), false);
    }
    m_convertor.reset(); // every worker has ended
    std::fflush(stdout);
    if (Summary)
        printSummary();
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
