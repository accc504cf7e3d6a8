#include "GlobalObjects.h"
#include "base/lxError.h"
#include "engine/lxBatch.h"
#include "engine/lxMatch.h"
#include "project/lxProject.h"

#include "TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

void touch(const QString &path) {
    QVERIFY(TestSupport::writeAll(path, "x"));
}

// Runs n threads that take nodes until the batch has none left; returns what each thread received, in order.
QList<QList<TlxNode *>> drain(TlxBatch &batch, int n) {
    QList<QList<TlxNode *>> taken(n);
    std::vector<std::thread> threads;
    for (int i = 0; i < n; ++i) {
        threads.emplace_back([&batch, &taken, i] {
            while (TlxNode *node = batch.NextNode())
                taken[i] << node;
        });
    }
    for (auto &thread : threads)
        thread.join();
    return taken;
}

// Every node of the batch handed out exactly once, and each thread got its nodes in list order (files of one size
// keep it when the rest is ordered by size).
void verifyEachOnce(TlxBatch &batch, const QList<QList<TlxNode *>> &taken) {
    QSet<TlxNode *> seen;
    for (const auto &nodes : taken) {
        for (qsizetype i = 0; i < nodes.size(); ++i) {
            QVERIFY2(!seen.contains(nodes[i]), "a node was handed out twice");
            seen << nodes[i];
            if (i > 0)
                QVERIFY(nodes[i - 1]->ListIndex < nodes[i]->ListIndex);
        }
    }
    const QList<TlxNode *> &all = batch.LockNodes();
    const qsizetype count = all.size();
    bool indexesRight = true;
    for (qsizetype i = 0; i < all.size(); ++i)
        indexesRight = indexesRight && all[i]->ListIndex == i && seen.contains(all[i]);
    batch.UnlockNodes();
    QVERIFY(indexesRight);
    QCOMPARE(seen.size(), count);
    QCOMPARE(batch.NextIndex(), int(count));
    QVERIFY(batch.Exhausted());
}

} // namespace

class TestBatch : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void normalizePath_data();
    void normalizePath();
    void searchSplitsSourceAndMakesTarget();
    void emptyTargetStartsNothing();
    void failuresAndSuccesses();
    void handOutThreeWorkersTenNodes();
    void handOutWhileSearching();
    void handOutBiggestFirstOnceComplete();
    void searchFindsNothing();
    void severalSourcesInOneList();
    void workerWaitsForSlowSearch();
    void addFileAndCompleteWithoutSearch();
    void throwingOnNodeStillCompletes();
    void projectOptionsReadAtSearch();
    void shardsPartitionATree();
    void invalidOptionStartsNothing_data();
    void invalidOptionStartsNothing();
    void terminateEndsSearch();
    void destroyDuringDeepSearch();

private:
    QTemporaryDir *m_dir = nullptr;
    QString m_root;
    std::unique_ptr<GlobalObjects> m_globals;
};

void TestBatch::initTestCase() {
    m_globals = std::make_unique<GlobalObjects>();
}

void TestBatch::cleanupTestCase() {
    m_globals.reset();
}

void TestBatch::init() {
    m_dir = new QTemporaryDir;
    m_root = m_dir->path() + u'/';
    lxProject->SetOptions({});
}

void TestBatch::cleanup() {
    delete m_dir;
}

void TestBatch::normalizePath_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("path");
    QTest::newRow("local url") << "file:///home/a.ppt"
                               << "/home/a.ppt";
    QTest::newRow("host url") << "file://server/share/a.ppt"
                              << "//server/share/a.ppt";
    QTest::newRow("numeric host") << "file://192.168.1.5/share/a.ppt"
                                  << "//192.168.1.5/share/a.ppt";
    QTest::newRow("nothing after slashes") << "file:///"
                                           << "/";
    QTest::newRow("one slash") << "file:/x/a.ppt"
                               << "/x/a.ppt";
    QTest::newRow("four slashes") << "file:////x"
                                  << "/x";
    QTest::newRow("prefix is case-sensitive") << "FILE:///a.ppt"
                                              << "FILE:///a.ppt";
    QTest::newRow("plain path") << "/in/*.ppt?"
                                << "/in/*.ppt?";
    QTest::newRow("web address") << "http://x/a.ppt"
                                 << "http://x/a.ppt";
    QTest::newRow("empty") << ""
                           << "";
}

void TestBatch::normalizePath() {
    QFETCH(QString, text);
    QFETCH(QString, path);
    QCOMPARE(TlxBatch::NormalizePath(text), path);
}

void TestBatch::searchSplitsSourceAndMakesTarget() {
    touch(m_root + "in/a.ppt");
    TlxBatch batch;
    batch.Search(QStringLiteral("file://") + m_root + "in/*.ppt?", m_root + "out/new", false);
    batch.wait();
    QCOMPARE(batch.SourceDir(), m_root + "in/");
    QCOMPARE(batch.Mask(), QStringLiteral("*.ppt?"));
    QCOMPARE(batch.TargetDir(), m_root + "out/new");
    QVERIFY(QFileInfo(m_root + "out/new").isDir());
    QVERIFY(batch.Complete());
    QCOMPARE(batch.NodeCount(), 1);
}

void TestBatch::emptyTargetStartsNothing() {
    TlxBatch batch;
    try {
        batch.Search(m_root + "*.ppt", QString(), true);
        QFAIL("no exception");
    } catch (const ElxError &e) {
        QCOMPARE(e.Message(), QStringLiteral("Unable to create directory"));
    }
    QVERIFY(!batch.isRunning());
    QVERIFY(!batch.Complete());
    QCOMPARE(batch.NodeCount(), 0);
}

void TestBatch::failuresAndSuccesses() {
    TlxBatch batch;
    batch.AddFailure(QStringLiteral("Cannot open"));
    batch.AddFailure(QStringLiteral("CANNOT OPEN"));
    batch.AddFailure(QStringLiteral("Disk full"));
    batch.AddSuccess();
    batch.AddSuccess();
    QCOMPARE(batch.Failures(), 3);
    QCOMPARE(batch.FailedTexts(), (QStringList{"Cannot open", "Disk full"}));
    QCOMPARE(batch.Successes(), 2);
}

void TestBatch::handOutThreeWorkersTenNodes() {
    TlxBatch batch;
    for (int i = 0; i < 9; ++i)
        batch.AddFile(QStringLiteral("/in/%1.ppt").arg(i));
    batch.AddFileAndComplete(QStringLiteral("/in/9.ppt"));
    const auto taken = drain(batch, 3);
    verifyEachOnce(batch, taken);
    QCOMPARE(batch.NextIndex(), 10);
}

void TestBatch::handOutWhileSearching() {
    for (int i = 0; i < 5000; ++i)
        touch(m_root + QStringLiteral("in/d%1/f%2.pptx").arg(i % 50).arg(i));
    TlxBatch batch;
    batch.Search(m_root + "in/*.ppt?", m_root + "out", true);
    const auto taken = drain(batch, 8);
    QCOMPARE(batch.NodeCount(), 5000);
    verifyEachOnce(batch, taken);
}

void TestBatch::handOutBiggestFirstOnceComplete() {
    const QList<int> sizes = {10, 300, 50, 0, 200, 7};
    QStringList paths;
    for (qsizetype i = 0; i < sizes.size(); ++i) {
        paths << m_root + QStringLiteral("in/%1.pptx").arg(i);
        QVERIFY(TestSupport::writeAll(paths.last(), QByteArray(sizes.at(i), 'x')));
    }
    TlxBatch batch;
    batch.AddFile(paths.at(0));
    batch.AddFile(paths.at(1));
    // While the list grows, a worker takes what is there in list order.
    QCOMPARE(batch.NextNode()->ListIndex, 0);
    for (qsizetype i = 2; i + 1 < paths.size(); ++i)
        batch.AddFile(paths.at(i));
    batch.AddFileAndComplete(paths.last());
    QList<int> order;
    while (TlxNode *node = batch.NextNode())
        order << node->ListIndex;
    QCOMPARE(order, (QList<int>{1, 4, 2, 5, 3}));
    QCOMPARE(batch.NextIndex(), 6);
    // The list, and with it the window's rows, keeps the search's order.
    const QList<TlxNode *> &all = batch.LockNodes();
    QStringList listed;
    for (const TlxNode *node : all)
        listed << node->SourceFile;
    batch.UnlockNodes();
    QCOMPARE(listed, paths);
}

void TestBatch::searchFindsNothing() {
    QDir().mkpath(m_root + "empty");
    TlxBatch batch;
    batch.Search(m_root + "empty/*.ppt?", m_root + "out", true);
    const auto taken = drain(batch, 3);
    for (const auto &nodes : taken)
        QVERIFY(nodes.isEmpty());
    QVERIFY(batch.Exhausted());
    QCOMPARE(batch.NodeCount(), 0);
    QCOMPARE(batch.Successes(), 0);
    QCOMPARE(batch.Failures(), 0);
}

// Folders and files given together make one list in the order given, each file once, each node knowing the
// folder it was found under (its sub-folders are kept below the target from there), while workers take nodes.
void TestBatch::severalSourcesInOneList() {
    for (int i = 0; i < 300; ++i)
        touch(m_root + QStringLiteral("a/d%1/f%2.pptx").arg(i % 7).arg(i));
    touch(m_root + "b/talk.pptx");
    touch(m_root + "b/notes.txt");
    touch(m_root + "c/deck.odp"); // named as a file: taken whatever the mask
    TlxBatch batch;
    batch.Search(QStringList{m_root + "a/*.ppt?", m_root + "c/deck.odp", m_root + "b/*.ppt?", m_root + "a/d3/f3.pptx"},
                 m_root + "out", true);
    const auto taken = drain(batch, 4);
    verifyEachOnce(batch, taken);
    const QList<TlxNode *> nodes = batch.LockNodes();
    batch.UnlockNodes();
    QCOMPARE(nodes.size(), 302); // f3 was found in a/ already
    for (int i = 0; i < 300; ++i)
        QCOMPARE(nodes.at(i)->Root, m_root + "a/");
    QCOMPARE(nodes.at(300)->SourceFile, m_root + "c/deck.odp");
    QCOMPARE(nodes.at(300)->Root, m_root + "c/");
    QCOMPARE(nodes.at(301)->SourceFile, m_root + "b/talk.pptx");
    QCOMPARE(nodes.at(301)->Root, m_root + "b/");
}

void TestBatch::workerWaitsForSlowSearch() {
    for (int i = 0; i < 3; ++i)
        touch(m_root + QStringLiteral("in/%1.ppt").arg(i));
    TlxBatch batch;
    std::atomic<int> added{0};
    batch.OnNode = [&added](TlxBatch *, TlxNode *) {
        QThread::msleep(40); // a slow search: the worker catches up and has to wait
        ++added;
    };
    batch.Search(m_root + "in/*.ppt", m_root + "out", false);
    QList<int> addedWhenTaken;
    while (batch.NextNode())
        addedWhenTaken << added.load();
    QCOMPARE(addedWhenTaken.size(), 3);
    QVERIFY(addedWhenTaken.first() < 3); // received before the search had finished
    QVERIFY(batch.Complete());
    QCOMPARE(added.load(), 3);
}

void TestBatch::addFileAndCompleteWithoutSearch() {
    TlxBatch batch;
    QList<int> events;
    batch.OnNode = [&events](TlxBatch *, TlxNode *node) { events << node->ListIndex; };
    batch.AddFile(QStringLiteral("/any/where/notes.txt")); // no mask: every path passes
    QVERIFY(!batch.Complete());
    batch.AddFileAndComplete(QStringLiteral("https://example.com/a.pptx"));
    QVERIFY(batch.Complete());
    QCOMPARE(events, (QList<int>{0, 1}));
    QCOMPARE(batch.NextNode()->SourceFile, QStringLiteral("/any/where/notes.txt"));
    QCOMPARE(batch.NextNode()->SourceFile, QStringLiteral("https://example.com/a.pptx"));
    QCOMPARE(batch.NextNode(), nullptr);
    QVERIFY(batch.Exhausted());
    // A later Search on a completed batch changes its parameters but starts no thread.
    batch.Search(m_root + "*.ppt", m_root + "out", false);
    QVERIFY(!batch.isRunning() && !batch.isFinished());
}

void TestBatch::throwingOnNodeStillCompletes() {
    for (int i = 0; i < 4; ++i)
        touch(m_root + QStringLiteral("in/%1.ppt").arg(i));
    TlxBatch batch;
    batch.OnNode = [](TlxBatch *, TlxNode *) { throw std::runtime_error("handler failed"); };
    QTest::ignoreMessage(QtWarningMsg, "The file search ended early: handler failed");
    batch.Search(m_root + "in/*.ppt", m_root + "out", false);
    QVERIFY(batch.NextNode() != nullptr); // the node was added before the handler failed
    QCOMPARE(batch.NextNode(), nullptr);  // and nobody waits for the rest
    QVERIFY(batch.Complete());

    TlxBatch chosen;
    chosen.OnNode = batch.OnNode;
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, chosen.AddFileAndComplete(QStringLiteral("/x/a.ppt")));
    QVERIFY(chosen.Complete());
}

void TestBatch::projectOptionsReadAtSearch() {
    touch(m_root + "in/final/a.ppt");
    touch(m_root + "in/draft/b.ppt");
    touch(m_root + "in/final/.c.ppt");
    lxProject->SetOption(QStringLiteral("RegExt"), QStringLiteral("/final/"));
    lxProject->SetOption(QStringLiteral("SkipHidden"), QStringLiteral("true"));
    TlxBatch batch;
    batch.Search(m_root + "in/*.ppt", m_root + "out", true);
    batch.wait();
    QCOMPARE(batch.RegExt(), QStringLiteral("/final/"));
    QVERIFY(batch.SkipHidden());
    QCOMPARE(batch.NodeCount(), 1);
    QCOMPARE(batch.NextNode()->SourceFile, m_root + "in/final/a.ppt");
}

void TestBatch::shardsPartitionATree() {
    // Folders of uneven depth, names that differ in one character, and files beside the matching ones.
    for (int i = 0; i < 600; ++i)
        touch(m_root +
              QStringLiteral("in/%1/%2/deck-%3.pptx").arg(i % 7).arg(i % 13 ? QString::number(i % 5) : "x y").arg(i));
    touch(m_root + "in/notes.txt");
    auto sources = [this](const QString &shard) {
        lxProject->SetOption(QStringLiteral("Shard"), shard);
        TlxBatch batch;
        batch.Search(m_root + "in/*.ppt?", m_root + "out", true);
        batch.wait();
        QStringList files;
        while (TlxNode *node = batch.NextNode())
            files << node->SourceFile;
        return files;
    };
    const QStringList all = sources(QString());
    QCOMPARE(all.size(), 600);
    for (int n : {1, 2, 3, 8}) {
        QSet<QString> covered;
        for (int k = 1; k <= n; ++k) {
            const QStringList share = sources(QStringLiteral("%1/%2").arg(k).arg(n));
            // Each share keeps the search's order and gets a fair part of the files.
            QStringList inOrder = all;
            inOrder.removeIf([&share](const QString &f) { return !share.contains(f); });
            QCOMPARE(share, inOrder);
            QVERIFY2(share.size() > 600 / n / 2,
                     qPrintable(QStringLiteral("%1/%2: %3").arg(k).arg(n).arg(share.size())));
            for (const QString &f : share)
                QVERIFY2(!covered.contains(f), qPrintable(f + " in two shares"));
            covered.unite(QSet<QString>(share.begin(), share.end()));
        }
        QCOMPARE(covered.size(), all.size());
    }
    // The hash is of the path below the source folder: the same on every machine, wherever the tree is mounted.
    QCOMPARE(TlxShard::Hash(QStringLiteral("a/b.pptx")), 0x9faa188c1e621dc1ull);
}

void TestBatch::invalidOptionStartsNothing_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    for (const char *bad : {"0/3", "4/3", "a/b", "3", "1/0", "-1/2", "1/2/3", "1.5/2"})
        QTest::addRow("Shard=%s", bad) << "Shard" << QString::fromLatin1(bad);
    // Never files under a made-up extension, nor a run that quietly writes other slides than asked.
    for (const char *bad : {"tiff", "emf2", ".emf", "svgz"})
        QTest::addRow("Format=%s", bad) << "Format" << QString::fromLatin1(bad);
    for (const char *bad : {"0", "3-1", "a", "1;2", "1,,2", "-3", "2-4-6", "1.5"})
        QTest::addRow("Slides=%s", bad) << "Slides" << QString::fromLatin1(bad);
    for (const char *bad : {"-1", "high", "2.5"})
        QTest::addRow("ImageResolution=%s", bad) << "ImageResolution" << QString::fromLatin1(bad);
    QTest::addRow("PngWidth=0") << "PngWidth"
                                << "0";
}

void TestBatch::invalidOptionStartsNothing() {
    QFETCH(QString, key);
    QFETCH(QString, value);
    touch(m_root + "in/a.ppt");
    lxProject->SetOption(key, value);
    TlxBatch batch;
    try {
        batch.Search(m_root + "in/*.ppt", m_root + "out", true);
        QFAIL("no exception");
    } catch (const ElxError &e) {
        QVERIFY2(e.Message().contains(QStringLiteral("%1 \"%2\"").arg(key, value)), qPrintable(e.Message()));
    }
    QVERIFY(!batch.isRunning());
    QCOMPARE(batch.NodeCount(), 0);
}

void TestBatch::terminateEndsSearch() {
    for (int i = 0; i < 200; ++i)
        touch(m_root + QStringLiteral("in/d%1/%2.ppt").arg(i % 20).arg(i));
    TlxBatch batch;
    std::atomic<int> added{0};
    batch.OnNode = [&added](TlxBatch *b, TlxNode *) {
        if (++added == 10)
            b->Terminate();
    };
    batch.Search(m_root + "in/*.ppt", m_root + "out", true);
    batch.wait();
    QVERIFY(batch.Complete());
    QCOMPARE(batch.NodeCount(), 10);
}

void TestBatch::destroyDuringDeepSearch() {
    // A deep tree searched slowly; the batch is destroyed while its thread is in the middle of it. The destructor
    // must stop and join the search before the nodes go (AddressSanitizer checks the rest).
    QString folder = m_root + "in/";
    for (int depth = 0; depth < 40; ++depth) {
        for (int i = 0; i < 5; ++i)
            touch(folder + QStringLiteral("f%1.ppt").arg(i));
        folder += QStringLiteral("level%1/").arg(depth);
    }
    for (int round = 0; round < 5; ++round) {
        std::atomic<int> calls{0};
        auto *batch = new TlxBatch;
        batch->OnNode = [&calls](TlxBatch *b, TlxNode *node) {
            ++calls;
            QVERIFY(node->ListIndex < b->NodeCount());
            QThread::msleep(1);
        };
        batch->Search(m_root + "in/*.ppt", m_root + "out", true);
        QElapsedTimer waited;
        waited.start();
        while (calls.load() <= 5 + round * 10 && waited.elapsed() < 10000)
            QThread::usleep(100);
        std::thread worker([batch] {
            for (int i = 0; i < 3; ++i)
                batch->NextNode();
        });
        worker.join();
        delete batch;
        const int after = calls.load();
        QVERIFY(after < 200);
        QThread::msleep(5);
        QCOMPARE(calls.load(), after); // nothing runs on after the destructor returned
    }
}

QTEST_GUILESS_MAIN(TestBatch)
#include "tst_batch.moc"
