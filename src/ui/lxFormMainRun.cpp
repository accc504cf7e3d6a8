// The running half of the main window: the batch, the converter threads, the result rows and the unattended
// modes.
#include "ui/lxFormMain.h"

#include "base/lxFileUtils.h"
#include "base/lxOutputOptions.h"
#include "engine/lxBatch.h"
#include "engine/lxConvertor.h"
#include "engine/lxNode.h"
#include "engine/lxPreviewCache.h"
#include "info/lxInfo.h"
#include "project/lxMain.h"
#include "project/lxProject.h"
#include "ui/lxResultModel.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

namespace {
QChar pathDelim() {
    return lxProject ? lxProject->PathDelim : QChar(u'/');
}

bool unattended() {
    return lxProject && lxProject->RunAndClose();
}
} // namespace

// ---------------------------------------------------------------- status bar

void TlxFrmMain::buildStatusBar() {
    m_statusText = new QLabel(this);
    m_statusText->setObjectName(QStringLiteral("lStatus"));
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("pbProgress"));
    m_progress->setMaximumWidth(240);
    m_progress->setTextVisible(true);
    m_progress->setVisible(false);
    statusBar()->addWidget(m_statusText, 1);
    statusBar()->addPermanentWidget(m_progress);
    m_daemonTimer = new QTimer(this);
    m_daemonTimer->setSingleShot(true);
    connect(m_daemonTimer, &QTimer::timeout, this, [this] {
        endDaemonWait();
        AutoRun();
    });
    updateStatusBar();
}

void TlxFrmMain::updateStatusBar() {
    const int found = m_results->rowCount();
    const int done = m_results->Done();
    const int failed = m_results->Failed();
    QString text = QStringLiteral("%1 found, %2 done, %3 failed").arg(found).arg(done).arg(failed);
    if (Running())
        text += QStringLiteral(" - converting");
    else if (DaemonWaiting())
        text += QStringLiteral(" - waiting to run again");
    m_statusText->setText(text);
    m_progress->setVisible(Running());
    m_progress->setMaximum(qMax(found, 1));
    m_progress->setValue(done + failed);
}

void TlxFrmMain::endDaemonWait() {
    aStop->setEnabled(false);
    SetButtonAction(bSearchConvert, aSearchConvert);
    updateStatusBar();
}

bool TlxFrmMain::DaemonWaiting() const {
    return m_daemonTimer && m_daemonTimer->isActive();
}

// ---------------------------------------------------------------- rows

void TlxFrmMain::postNode(quint64 generation, TlxNode *node, bool converted) {
    TlxResultModel::Update u;
    u.generation = generation;
    u.index = node->ListIndex;
    u.file = node->SourceFile;
    u.converted = converted;
    if (converted) {
        // Only the worker that processed the node writes its state, and it reports right after: reading it here,
        // on that worker's thread, is safe. A result of several lines shows its first line.
        u.status = node->Status;
        u.hasResult = !node->ResultText.isEmpty();
        static const QRegularExpression lineEnd(QStringLiteral("[\r\n]"));
        u.result = node->ResultText.section(lineEnd, 0, 0);
    }
    m_results->Post(std::move(u));
}

void TlxFrmMain::attachBatch(TlxBatch *batch, quint64 generation) {
    batch->OnNode = [this, generation](TlxBatch *, TlxNode *node) { postNode(generation, node, false); };
}

void TlxFrmMain::NewBatch() {
    std::shared_ptr<TlxBatch> old;
    old.swap(FBatch);
    // A batch that a run still converts stays alive in m_runBatch until the run's last worker has ended.
    old.reset();
    FBatch = std::make_shared<TlxBatch>();
    attachBatch(FBatch.get(), m_results->Clear());
}

void TlxFrmMain::ListFile(const QString &name) {
    TargetFollowsSource(TlxFileUtils::FolderPart(name));
    if (!FBatch)
        NewBatch();
    FBatch->AddFileAndComplete(name);
    m_results->Flush();
}

void TlxFrmMain::SaveListToFile(const QString &fileName) {
    m_results->Flush();
    QStringList lines;
    lines.reserve(m_results->rowCount());
    for (int row = 0; row < m_results->rowCount(); ++row) {
        lines << QStringLiteral("[%1] => %2 => %3")
                     .arg(TlxNode::StatusText(m_results->RowStatus(row)), m_results->RowFile(row),
                          m_results->RowHasResult(row) ? m_results->RowResult(row) : QString());
    }
    TlxProject::WriteLines(fileName, lines);
}

// ---------------------------------------------------------------- search and convert

void TlxFrmMain::aSearchExecute() {
    const QString source = eSource->text();
    if (source.isEmpty()) {
        eSource->setFocus();
        RunEnded();
        return;
    }
    NewBatch();
    if (source.startsWith(QStringLiteral("http"))) {
        ListFile(source);
        return;
    }
    // Listing needs no target yet (Convert sets the real one): without one, the source's folder stands in.
    const QString target = eTarget->text().isEmpty() ? TlxFileUtils::FolderPart(source) : eTarget->text();
    try {
        FBatch->Search(source, target, cSubdir->isChecked());
    } catch (const std::exception &error) {
        FBatch.reset();
        ReportError(error);
        RunEnded();
    }
}

QString TlxFrmMain::TidyTarget(QString target) {
    const QChar delim = pathDelim();
    // Each round cuts at least one character, so the loop ends; a text cut back to nothing stays empty.
    while (target.contains(u'?') || target.contains(u'*') ||
           (!target.isEmpty() && QFileInfo(target.endsWith(delim) ? target.chopped(1) : target).isFile())) {
        if (target.endsWith(delim))
            target.chop(1);
        target = TlxFileUtils::FolderPart(target);
    }
    return target;
}

void TlxFrmMain::aConvertExecute() {
    if (Running())
        return;
    m_daemonTimer->stop();
    QString target = TidyTarget(eTarget->text());
    eTarget->setText(target);
    // Without a target the outputs would land wherever the program was started: no run.
    if (target.isEmpty()) {
        eTarget->setFocus();
        RunEnded();
        return;
    }
    if (!QFileInfo(target).isDir())
        QDir().mkpath(target); // a failure shows per file when the converters write there
    if (!target.endsWith(pathDelim()))
        eTarget->setText(target + pathDelim());
    lxProject->StoreOptions(false);

    if (!FBatch) {
        aSearchExecute();
        if (!FBatch)
            return;
    }
    if (FBatch->Exhausted()) {
        try {
            aSearchExecute();
        } catch (const std::exception &) {
            RunEnded();
            return;
        }
        if (!FBatch)
            return;
    }
    // The options may have changed since the files were listed: a format or slide list that is not understood
    // stops the run before its first file.
    try {
        TlxProject::OutputOptions();
    } catch (const std::exception &error) {
        ReportError(error);
        RunEnded();
        return;
    }
    startRun();
}

void TlxFrmMain::startRun() {
    aConvert->setEnabled(false);
    aSearchConvert->setEnabled(false);
    aSearch->setEnabled(false);

    m_runBatch = FBatch;
    // Pictures of the slides for the preview pane: a run someone watches makes them, an unattended one does not.
    if (!lxProject->RunAndClose()) {
        if (!m_previews)
            m_previews = std::make_shared<TlxPreviewCache>();
        FBatch->SetPreviews(m_previews);
    }
    const quint64 generation = m_results->Generation();
    FConvertor =
        TlxConvertor::CreateWorkers(FBatch.get(), eTarget->text(), [this, generation](TlxBatch *, TlxNode *node) {
            postNode(generation, node, true);
        });
    FWorkersLeft = FConvertor->ChainCount();
    FConvertor->SetOnFinish([this] { OnFinish(); });

    aStop->setEnabled(true);
    SetButtonAction(bCreate, aPause);
    aPause->setEnabled(true);
    SetButtonAction(bSearchConvert, aStop);
    FConvertor->StartAll();
    if (lxInfo)
        lxInfo->UpdateStat(QStringLiteral("C"), 0, 1);
    FStopRequested = false;
    updateStatusBar();
}

void TlxFrmMain::aSearchConvertExecute() {
    aSearchExecute();
    aConvertExecute();
}

void TlxFrmMain::aPauseExecute() {
    aPause->setEnabled(false);
    aStop->setEnabled(false);
    if (FConvertor)
        FConvertor->StopAll();
    aStop->setData(0);
}

void TlxFrmMain::aStopExecute() {
    FStopRequested = true;
    aPause->setEnabled(false);
    aStop->setEnabled(false);
    // Stop also ends a daemon's wait for its next run.
    if (m_daemonTimer->isActive()) {
        m_daemonTimer->stop();
        endDaemonWait();
        return;
    }
    if (FBatch)
        FBatch->Terminate();
    if (m_runBatch && m_runBatch != FBatch)
        m_runBatch->Terminate();
    if (FConvertor)
        FConvertor->StopAll();
    aStop->setData(1);
}

void TlxFrmMain::OnFinish() {
    if (--FWorkersLeft > 0)
        return;
    m_results->Flush();
    aConvert->setEnabled(true);
    SetButtonAction(bCreate, aConvert);
    aSearchConvert->setEnabled(true);
    SetButtonAction(bSearchConvert, aSearchConvert);
    aSearch->setEnabled(true);

    // Every worker has ended: nothing uses the run's batch any more.
    std::shared_ptr<TlxBatch> batch;
    batch.swap(m_runBatch);
    FConvertor.reset();
    if (lxInfo && batch) {
        lxInfo->UpdateStat(QStringLiteral("A"), 0, batch->NodeCount());
        lxInfo->UpdateStat(QStringLiteral("S"), 0, batch->Successes());
        lxInfo->UpdateStat(QStringLiteral("F"), 0, batch->Failures());
        if (batch->Failures() > 0)
            lxInfo->OpenLink(QString(), QStringLiteral("err&e=") + TlxMain::FailedTextsParam(batch->FailedTexts()),
                             QString());
    }
    if (aStop->data().toInt() == 1) {
        // A stopped list is discarded, so the next Convert searches again; a list chosen meanwhile stays.
        if (FBatch == batch)
            FBatch.reset();
        aStop->setData(0);
    }
    batch.reset();
    updateStatusBar();
    if (m_closeWhenIdle) {
        close();
        return;
    }
    RunEnded();
}

void TlxFrmMain::RunEnded() {
    if (!unattended())
        return;
    const QString logFile = lxProject->GetOption(QStringLiteral("LogFile"));
    if (!logFile.isEmpty()) {
        try {
            SaveListToFile(logFile);
        } catch (const std::exception &error) {
            ReportError(error);
        }
    }
    if (lxProject->Daemon() <= 0) {
        // Closed from the event loop, so a run that ends during start-up still closes the window.
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
        return;
    }
    if (FStopRequested)
        return;
    // The wait runs on a timer: the window stays responsive, Stop ends the wait, and repetitions never nest.
    m_daemonTimer->start(lxProject->Daemon());
    // Stop stays at hand during the wait, to end the repetitions.
    aStop->setEnabled(true);
    SetButtonAction(bSearchConvert, aStop);
    updateStatusBar();
}

void TlxFrmMain::closeEvent(QCloseEvent *event) {
    if (Running()) {
        // The workers use the window's list and the program's objects: stop them and close once the last has
        // ended, instead of leaving them behind a destroyed window.
        m_closeWhenIdle = true;
        aStopExecute();
        hide();
        event->ignore();
        return;
    }
    m_daemonTimer->stop();
    TlxFrmBase<QMainWindow>::closeEvent(event);
}

void TlxFrmMain::finishRunBeforeDestroy() {
    if (m_daemonTimer)
        m_daemonTimer->stop();
    if (!Running())
        return;
    // Each ending worker hands its end to this thread and waits for it: keep serving those calls until the last.
    m_closeWhenIdle = false;
    aStopExecute();
    while (Running())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

void TlxFrmMain::AutoRun() {
    // A run in progress is left alone: its end schedules the next repetition itself.
    if (unattended() && !Running())
        aConvert->trigger();
}

// The run half swaps actions on the buttons of the form's first row.
void TlxFrmMain::buildRunButtons() {
    // A button keeps its place while its action is hidden.
    for (QToolButton *button : {bSearch, bView, bSearchConvert, bCreate}) {
        QSizePolicy keepPlace = button->sizePolicy();
        keepPlace.setRetainSizeWhenHidden(true);
        button->setSizePolicy(keepPlace);
    }
    SetButtonAction(bSearch, aSearch);
    SetButtonAction(bView, aView);
    SetButtonAction(bSearchConvert, aSearchConvert);
    SetButtonAction(bCreate, aConvert);
    for (QAction *action : {aSearch, aView, aSearchConvert, aConvert, aStop, aPause}) {
        connect(action, &QAction::changed, this, [this, action] {
            for (QToolButton *button : {bSearch, bView, bSearchConvert, bCreate}) {
                if (button->defaultAction() == action)
                    button->setVisible(action->isVisible());
            }
        });
    }
}

// The list of results: status, source and output columns, live from the batch.
void TlxFrmMain::buildResultList() {
    // The stop tag: 1 when Stop ended the run (the batch is then discarded), 0 otherwise.
    aStop->setData(0);

    m_results = new TlxResultModel(this);
    lViewer->setModel(m_results);
    connect(m_results, &TlxResultModel::RowsUpdated, this, &TlxFrmMain::updateStatusBar);
    QHeaderView *header = lViewer->header();
    header->setStretchLastSection(true);
    header->setSectionResizeMode(0, QHeaderView::Fixed);
    header->setMinimumSectionSize(30);
    lViewer->setColumnWidth(0, 30);
    lViewer->setColumnWidth(1, 370);
    lViewer->setColumnWidth(2, 370);
}
