#include "engine/lxBatch.h"
#include "base/lxFileName.h"

#include "base/lxError.h"
#include "base/lxOutputOptions.h"
#include "project/lxProject.h"
#include "regex/VBScriptRegex.h"

#include <QDir>
#include <QFileInfo>
#include <QMutexLocker>

#include <algorithm>
#include <exception>

TlxBatch::TlxBatch() = default;

TlxBatch::~TlxBatch() {
    Terminate();
    wait();
    // A worker that has just given up the lock may still be inside the unlock; taking it once more makes sure
    // nobody is in there before the list goes.
    { QMutexLocker lock(&m_lock); }
    qDeleteAll(m_nodes);
}

QString TlxBatch::NormalizePath(const QString &text) {
    static const QString prefix = QStringLiteral("file:");
    if (!text.startsWith(prefix, Qt::CaseSensitive))
        return text;
    const QString path = Regex::Replace(QStringLiteral("^file:/*"), text, QString());
    const qsizetype slashes = text.size() - prefix.size() - path.size();
    return (slashes == 2 ? QStringLiteral("//") : QStringLiteral("/")) + path;
}

void TlxBatch::SetPreviews(std::shared_ptr<TlxPreviewCache> previews) {
    QMutexLocker lock(&m_lock);
    m_previews = std::move(previews);
}

std::shared_ptr<TlxPreviewCache> TlxBatch::Previews() const {
    QMutexLocker lock(&m_lock);
    return m_previews;
}

void TlxBatch::Search(const QString &source, const QString &target, bool recurse) {
    Search(QStringList{source}, target, recurse);
}

void TlxBatch::Search(const QStringList &sources, const QString &target, bool recurse) {
    QStringList normalized;
    for (const QString &source : sources)
        normalized << NormalizePath(source);
    QString sourceDir = normalized.value(0);
    const QString targetDir = NormalizePath(target);
    if (targetDir.isEmpty())
        throw ElxError(QStringLiteral("Unable to create directory"));
    // A share the user got wrong stops the run here, before a single file is listed.
    const TlxShard shard = TlxShard::Parse(lxProject ? lxProject->GetOption(QStringLiteral("Shard")) : QString());
    // So does an output format, slide list or picture resolution it does not understand: never a file under a
    // made-up name.
    TlxProject::OutputOptions();
    TlxFileName::MakePath(targetDir); // a folder that cannot be made is reported by every file written there
    const qsizetype slash = sourceDir.lastIndexOf(u'/');
    const QString mask = sourceDir.mid(slash + 1);
    sourceDir.truncate(slash + 1);

    bool start = false;
    {
        QMutexLocker lock(&m_lock);
        m_sourceDir = sourceDir;
        m_sources = normalized;
        m_targetDir = targetDir;
        m_mask = mask;
        m_recurse = recurse;
        m_shard = shard;
        start = !m_started && !Complete();
        m_started = m_started || start;
    }
    if (start)
        this->start();
}

void TlxBatch::run() {
    // Whatever happens in here, the list ends complete, so that no worker waits for nodes that never come.
    struct CompleteOnExit {
        std::atomic<bool> &complete;
        ~CompleteOnExit() { complete.store(true, std::memory_order_release); }
    } completeOnExit{m_complete};

    try {
        const QString regExt = lxProject ? lxProject->GetOption(QStringLiteral("RegExt")) : QString();
        const bool skipHidden = lxProject && lxProject->BoolOption(QStringLiteral("SkipHidden"), false);
        QStringList sources;
        bool recurse = false;
        {
            QMutexLocker lock(&m_lock);
            m_regExt = regExt;
            m_skipHidden = skipHidden;
            sources = m_sources;
            recurse = m_recurse;
        }
        for (const QString &source : std::as_const(sources)) {
            if (Terminated())
                break;
            // A file named as a source is taken as it is; a folder source's mask picks its files.
            const bool file = sources.size() > 1 && TlxFileName::IsFile(source);
            const qsizetype slash = source.lastIndexOf(u'/');
            const QString folder = source.left(slash + 1);
            const QString mask = file ? QString() : source.mid(slash + 1);
            {
                QMutexLocker lock(&m_lock);
                m_sourceDir = folder;
                m_mask = mask;
            }
            if (file)
                addNode(source);
            else
                ScanFolder(folder, mask, recurse, skipHidden ? faFilesNotHidden : faFilesAll);
        }
    } catch (const std::exception &e) {
        qWarning("The file search ended early: %s", e.what());
    } catch (...) {
        qWarning("The file search ended early.");
    }
}

void TlxBatch::AddFile(const QString &path) {
    if (Accepts(path))
        addNode(path);
}

void TlxBatch::addNode(const QString &path) {
    if (!m_shard.IsAll()) {
        // The search thread alone adds files while a share is set (Search sets it before the thread starts).
        const QString relative = path.startsWith(m_sourceDir) ? path.mid(m_sourceDir.size()) : path;
        if (!m_shard.Takes(relative))
            return;
    }
    auto *node = new TlxNode;
    node->SourceFile = path;
    {
        QMutexLocker lock(&m_lock);
        if (m_sources.size() > 1) {
            if (m_listed.contains(path)) {
                delete node;
                return;
            }
            m_listed.insert(path);
        }
        node->Root = m_sourceDir;
        node->ListIndex = int(m_nodes.size());
        m_nodes.append(node);
    }
    if (node->ListIndex % 64 == 0)
        QThread::yieldCurrentThread(); // let waiting workers and the window run now and then
    if (OnNode)
        OnNode(this, node);
}

void TlxBatch::AddFileAndComplete(const QString &path) {
    struct CompleteOnExit {
        std::atomic<bool> &complete;
        ~CompleteOnExit() { complete.store(true, std::memory_order_release); }
    } completeOnExit{m_complete};
    AddFile(path);
}

int TlxBatch::NodeCount() const {
    QMutexLocker lock(&m_lock);
    return int(m_nodes.size());
}

int TlxBatch::NextIndex() const {
    QMutexLocker lock(&m_lock);
    return m_handedOut;
}

TlxNode *TlxBatch::NextNode() {
    for (;;) {
        // Complete is read before the list: a node added just before the list became complete is then
        // certainly seen below, and never lost between the two looks.
        const bool complete = Complete();
        if (complete && !m_ordering.exchange(true))
            orderBySize();
        {
            QMutexLocker lock(&m_lock);
            if (m_orderPos < m_order.size()) {
                ++m_handedOut;
                return m_nodes.at(m_order.at(m_orderPos++));
            }
            if (m_order.empty() && m_nextIndex < m_nodes.size()) {
                ++m_handedOut;
                return m_nodes.at(m_nextIndex++);
            }
        }
        if (complete) {
            m_exhausted.store(true, std::memory_order_release);
            return nullptr;
        }
        QThread::msleep(1);
    }
}

void TlxBatch::orderBySize() {
    // The list is complete: no node comes or goes any more. The biggest decks go first, so that no worker is
    // left with a big one at the end while the others have nothing to do. A very long list keeps its order: its
    // tail is a small part of it, and each size is a look at the disk.
    QList<TlxNode *> rest;
    {
        QMutexLocker lock(&m_lock);
        rest = m_nodes.mid(m_nextIndex);
    }
    if (rest.size() < 2 || rest.size() > kOrderedAtMost)
        return;
    // Read without the lock; the other workers take nodes in list order meanwhile.
    std::vector<std::pair<qint64, int>> sized; // size, list index
    for (const TlxNode *node : rest)
        sized.emplace_back(TlxFileName::Size(node->SourceFile), node->ListIndex);
    std::stable_sort(sized.begin(), sized.end(), [](const auto &a, const auto &b) { return a.first > b.first; });
    QMutexLocker lock(&m_lock);
    std::vector<int> order;
    for (const auto &[size, index] : sized)
        if (index >= m_nextIndex)
            order.push_back(index);
    m_nextIndex = int(m_nodes.size());
    m_order = std::move(order);
}

void TlxBatch::AddSuccess() {
    // Counted without the list's lock, which the search takes for every file it adds.
    m_successes.fetch_add(1, std::memory_order_relaxed);
}

bool TlxBatch::ClaimOutput(const QString &path) {
    // A lock of its own: a worker claims a name for every file, and must not wait on the search adding nodes.
    QMutexLocker lock(&m_claimLock);
    const qsizetype before = m_claimedOutputs.size();
    m_claimedOutputs.insert(path);
    return m_claimedOutputs.size() != before;
}

void TlxBatch::AddFailure(const QString &text) {
    QMutexLocker lock(&m_lock);
    ++m_failures;
    for (const QString &known : std::as_const(m_failedTexts)) {
        if (known.compare(text, Qt::CaseInsensitive) == 0)
            return;
    }
    m_failedTexts << text;
}

int TlxBatch::Successes() const {
    return m_successes.load(std::memory_order_relaxed);
}

int TlxBatch::Failures() const {
    QMutexLocker lock(&m_lock);
    return m_failures;
}

QStringList TlxBatch::FailedTexts() const {
    QMutexLocker lock(&m_lock);
    return m_failedTexts;
}

const QList<TlxNode *> &TlxBatch::LockNodes() {
    m_lock.lock();
    return m_nodes;
}

void TlxBatch::UnlockNodes() {
    m_lock.unlock();
}

QString TlxBatch::SourceDir() const {
    QMutexLocker lock(&m_lock);
    return m_sourceDir;
}

QString TlxBatch::TargetDir() const {
    QMutexLocker lock(&m_lock);
    return m_targetDir;
}

void TlxBatch::SetTargetDir(const QString &targetDir) {
    QMutexLocker lock(&m_lock);
    m_targetDir = targetDir;
}

bool TlxBatch::Recurse() const {
    QMutexLocker lock(&m_lock);
    return m_recurse;
}

QString TlxBatch::Mask() const {
    QMutexLocker lock(&m_lock);
    return m_mask;
}

QString TlxBatch::RegExt() const {
    QMutexLocker lock(&m_lock);
    return m_regExt;
}

bool TlxBatch::SkipHidden() const {
    QMutexLocker lock(&m_lock);
    return m_skipHidden;
}
