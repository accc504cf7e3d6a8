#include "engine/lxConvertor.h"

#include "base/lxError.h"
#include "base/lxFileName.h"
#include "base/lxOutputOptions.h"
#include "base/lxWorkTimes.h"
#include "project/lxProject.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMetaObject>
#include <QMutexLocker>
#include <QThread>

#include <fcntl.h>
#include <sys/stat.h>

#include <exception>
#include <vector>

std::atomic<int> RunningWorkers{0};

namespace {

const TlxConvertorClassOf<TlxConvertor> plainConvertorClass;

// Runs a handler on the main thread and waits for it; directly when already there or when there is no
// application object to deliver it.
void runOnMainThread(const TlxEvent &handler) {
    const auto call = [&handler] {
        try {
            handler();
        } catch (const std::exception &e) {
            qWarning("A worker's end handler failed: %s", e.what());
        } catch (...) {
            qWarning("A worker's end handler failed.");
        }
    };
    QCoreApplication *app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread())
        call();
    else
        QMetaObject::invokeMethod(app, call, Qt::BlockingQueuedConnection);
}

// Copies the source's access and modification times to the output (the creation time cannot be set here).
void copyFileTimes(const QString &source, const QString &output) {
    struct stat st {};
    if (stat(TlxFileName::Encode(source).constData(), &st) != 0)
        return;
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    utimensat(AT_FDCWD, TlxFileName::Encode(output).constData(), times, 0);
}

} // namespace

TlxConvertor::TlxConvertor(TlxBatch *batch, int chainCount, TlxNodeEvent onNodeDone)
    : TlxWorkBase(batch), m_chainCount(chainCount), m_onNodeDone(std::move(onNodeDone)) {}

TlxConvertor::~TlxConvertor() {
    // Let go of the rest of the chain one link at a time: a long chain must not unwind recursively.
    std::shared_ptr<TlxConvertor> next = std::move(m_next);
    while (next && next.use_count() == 1) {
        std::shared_ptr<TlxConvertor> after = std::move(next->m_next);
        next = std::move(after);
    }
}

std::shared_ptr<TlxConvertor> TlxConvertor::CreateWorkers(TlxBatch *batch, const QString &target,
                                                          const TlxNodeEvent &onNodeDone) {
    const QString targetDir = TlxBatch::NormalizePath(target);
    if (targetDir.isEmpty())
        throw ElxError(QStringLiteral("Unable to create directory"));
    batch->SetTargetDir(targetDir);
    const int count = lxProject ? lxProject->ThreadsCount() : 1;
    const TlxConvertorClass *cls =
        lxProject && lxProject->ConverterClass ? lxProject->ConverterClass : &plainConvertorClass;
    const auto make = [&](int chainCount) {
        return std::shared_ptr<TlxConvertor>(cls->Create(batch, chainCount, onNodeDone));
    };
    if (count <= 1)
        return make(count);
    // Built from the tail: the worker made with count n is followed by the one made with n - 1.
    std::shared_ptr<TlxConvertor> head;
    for (int chainCount = 1; chainCount <= count; ++chainCount) {
        std::shared_ptr<TlxConvertor> worker = make(chainCount);
        worker->m_next = std::move(head);
        head = std::move(worker);
    }
    return head;
}

void TlxConvertor::StartAll() {
    for (TlxConvertor *worker = this; worker; worker = worker->m_next.get())
        worker->Start();
}

void TlxConvertor::StopAll() {
    std::vector<TlxConvertor *> chain;
    for (TlxConvertor *worker = this; worker; worker = worker->m_next.get())
        chain.push_back(worker);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it)
        (*it)->Terminate();
}

void TlxConvertor::SetOnFinish(const TlxEvent &handler) {
    for (TlxConvertor *worker = this; worker; worker = worker->m_next.get()) {
        QMutexLocker lock(&worker->m_finishLock);
        worker->m_onFinish = handler;
    }
}

TlxEvent TlxConvertor::OnFinish() const {
    QMutexLocker lock(&m_finishLock);
    return m_onFinish;
}

void TlxConvertor::ConvertNode(TlxBatch *, TlxNode *) {}

void TlxConvertor::ProcessNode() {
    QElapsedTimer took;
    took.start();
    const TlxWorkTimes::Totals before = TlxWorkTimes::Current();
    ConvertNode(Batch(), CurrentNode());
    CurrentNode()->Millis = took.elapsed();
    CurrentNode()->Phases = TlxWorkTimes::Current().Since(before);
    if (m_onNodeDone)
        m_onNodeDone(Batch(), CurrentNode());
}

void TlxConvertor::WorkerEnded() {
    if (TlxBatch *batch = Batch()) {
        batch->LockNodes();
        RunningWorkers.fetch_sub(1);
        batch->UnlockNodes();
    } else {
        RunningWorkers.fetch_sub(1);
    }
    RunningWorkers.notify_all(); // an owner may be waiting for the count to change
    // From here on the batch is not touched again: the owner may free it once every worker has reported.
    if (const TlxEvent finish = OnFinish())
        runOnMainThread(finish);
}

namespace {
// A file's modification time in nanoseconds; 0 when it cannot be read.
qint64 modifiedNs(const QString &path) {
    struct stat st {};
    if (::stat(TlxFileName::Encode(path).constData(), &st) != 0)
        return 0;
    return qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}
} // namespace

namespace {
// Where the source's output goes before any clash is settled: below the target, its sub-folders kept when asked,
// with the format's extension.
QString plannedPath(TlxBatch *batch, const TlxNode *node, const TlxOutputOptions &output) {
    const QString &source = node->SourceFile;
    const QString sourceDir = node->Root.isEmpty() ? batch->SourceDir() : node->Root;
    const bool keepSubdirs = lxProject ? lxProject->KeepTargetSubdirs() : true;
    QString name;
    // Only a file below the source folder has sub-folders to keep; any other file keeps just its name.
    if (keepSubdirs && !sourceDir.isEmpty() && source.startsWith(sourceDir))
        name = source.mid(sourceDir.size());
    else
        name = source.mid(source.lastIndexOf(u'/') + 1);
    name.replace(u':', u'_');

    QString targetDir = batch->TargetDir();
    if (!targetDir.isEmpty() && !targetDir.endsWith(u'/'))
        targetDir += u'/';
    QString path = targetDir + name;
    // The product's own extension stands for its default format; any other format brings its own.
    const QString targetExt = output.format != TlxOutputOptions::Format::Emf ? output.Extension()
                              : lxProject                                    ? lxProject->TargetExt
                                                                             : QString();
    if (!targetExt.isEmpty()) {
        const qsizetype dot = path.lastIndexOf(u'.');
        if (dot > path.lastIndexOf(u'/'))
            path.truncate(dot);
        path += targetExt;
    }
    return path;
}

// Makes the output's folder; files come folder by folder, so a folder this thread has just seen exists is not
// looked up again.
void makeFolder(TlxBatch *batch, const QString &dir) {
    thread_local QString knownDir;
    if (!dir.isEmpty() && dir != knownDir) {
        const bool made = TlxFileName::MakePath(dir);
        if (!made)
            batch->AddFailure(QStringLiteral("CreateDir Failed: ") + dir);
        knownDir = made ? dir : QString();
    }
}
} // namespace

QString TlxConvertor::TargetPath(TlxBatch *batch, TlxNode *node, QString *existing) {
    const QString &source = node->SourceFile;
    const TlxOutputOptions output = TlxProject::OutputOptionsOrDefault();
    QString path = plannedPath(batch, node, output);
    qsizetype slash = path.lastIndexOf(u'/');
    const QString dir = path.left(slash + 1);
    const QString shortName = lxProject ? lxProject->ShortName : QString();
    // Two sources of one run can map to the same output (talk.ppt and talk.pptx): the later one takes the name
    // an existing output would give it, so neither overwrites the other's slides.
    const QString file = path.mid(slash + 1);
    for (int round = 1; !batch->ClaimOutput(path); ++round)
        path = dir + u'-' + shortName + (round > 1 ? QString::number(round) : QString()) + u'-' + file;
    makeFolder(batch, dir);
    // An earlier output is there when the file of the first slide this run writes is.
    if (!TlxFileName::Exists(output.PerSlide() ? TlxOutputOptions::SlidePath(path, output.FirstSlide()) : path))
        return path;
    switch (lxProject ? lxProject->OverwriteMode() : TlxOverwriteMode::Overwrite) {
    case TlxOverwriteMode::Overwrite:
        return path; // the converter deletes the old file just before it saves
    case TlxOverwriteMode::Newer:
        // A deck changed since its conversion is converted again; one that did not is skipped.
        if (modifiedNs(source) >
            modifiedNs(output.PerSlide() ? TlxOutputOptions::SlidePath(path, output.FirstSlide()) : path))
            return path;
        [[fallthrough]];
    case TlxOverwriteMode::Skip:
        node->Status = nsSuccess;
        if (existing)
            *existing = path;
        return QString();
    case TlxOverwriteMode::KeepExisting:
        break;
    }
    slash = path.lastIndexOf(u'/');
    return dir + u'-' + shortName + u'-' + path.mid(slash + 1);
}

QStringList TlxConvertor::SlideFiles(const QString &path) {
    const TlxOutputOptions output = TlxProject::OutputOptionsOrDefault();
    QStringList files;
    if (!output.PerSlide()) {
        if (TlxFileName::Exists(path))
            files << path;
        return files;
    }
    // Every chosen slide up to the last one named; a range that runs to the deck's end ends at the first slide
    // whose file is not there.
    const int openFrom = output.OpenFrom();
    const int last = output.LastSlide();
    for (int slide = output.FirstSlide(); openFrom > 0 || slide <= last; ++slide) {
        if (!output.Takes(slide))
            continue;
        const QString file = TlxOutputOptions::SlidePath(path, slide);
        if (TlxFileName::Exists(file))
            files << file;
        else if (openFrom > 0 && slide >= openFrom)
            break;
    }
    return files;
}

void TlxConvertor::DeleteTarget(const QString &path) {
    // The whole old output goes, not just its first slide: a deck that lost slides since its last conversion
    // must not leave its old last slides beside the new ones.
    for (const QString &file : SlideFiles(path))
        TlxFileName::Remove(file);
}

namespace {
bool identify(const QString &path, TlxConvertor::OldFile *file) {
    struct stat st {};
    if (::stat(TlxFileName::Encode(path).constData(), &st) != 0)
        return false;
    file->path = path;
    file->inode = quint64(st.st_ino);
    file->mtimeNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    file->size = qint64(st.st_size);
    return true;
}
} // namespace

QList<TlxConvertor::OldFile> TlxConvertor::OldOutputs(const QString &path) {
    QList<OldFile> old;
    for (const QString &file : SlideFiles(path)) {
        OldFile f;
        if (identify(file, &f))
            old << f;
    }
    return old;
}

void TlxConvertor::DeleteLeftOver(const QList<OldFile> &old) {
    for (const OldFile &was : old) {
        OldFile now;
        if (identify(was.path, &now) && now.inode == was.inode && now.mtimeNs == was.mtimeNs && now.size == was.size)
            TlxFileName::Remove(was.path);
    }
}

void TlxConvertor::FinishSource(TlxBatch *, TlxNode *node, const QString &outputPath) {
    if (!lxProject)
        return;
    const QString &source = node->SourceFile;
    if (lxProject->KeepFileTime()) {
        for (const QString &file : SlideFiles(outputPath))
            copyFileTimes(source, file);
    }
    if (lxProject->DeleteSource())
        TlxFileName::Remove(source);
    const QString suffix = lxProject->RenameSource();
    if (!suffix.isEmpty())
        TlxFileName::Rename(source, source + suffix, false); // fails quietly when the source was deleted above
}
