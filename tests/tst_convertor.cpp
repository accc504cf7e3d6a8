#include "GlobalObjects.h"
#include "base/lxError.h"
#include "base/lxFileName.h"
#include "base/lxFileUtils.h"
#include "engine/lxBatch.h"
#include "engine/lxConvertor.h"
#include "engine/lxMatch.h"
#include "project/lxProject.h"

#include "TestSupport.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <utime.h>

#include <atomic>
#include <stdexcept>

namespace {

// What the test converters did, shared by every worker.
struct Record {
    QMutex lock;
    QList<TlxNode *> converted;
    QList<TlxNode *> reported;  // OnNodeDone calls
    QSet<TlxNode *> inProgress; // nodes a worker is converting right now
    int cleanUpsOnOwnThread = 0;
    int cleanUpsElsewhere = 0;
    std::atomic<bool> hold{false}; // converters wait while set
    std::atomic<int> delayUs{0};
    std::atomic<int> sequence{0}; // orders clean-ups against OnFinish calls
    std::atomic<int> lastCleanUp{0};

    void reset() {
        QMutexLocker locker(&lock);
        converted.clear();
        reported.clear();
        inProgress.clear();
        cleanUpsOnOwnThread = cleanUpsElsewhere = 0;
        hold = false;
        delayUs = 0;
        sequence = 0;
        lastCleanUp = 0;
    }
    int convertedCount() {
        QMutexLocker locker(&lock);
        return int(converted.size());
    }
    int busyCount() {
        QMutexLocker locker(&lock);
        return int(inProgress.size());
    }
};

Record record;

// Stands in for the office converter: marks every node a success, fails nodes named "bad", and records where its
// clean-up ran.
class TestConvertor : public TlxConvertor {
public:
    TestConvertor(TlxBatch *batch, int chainCount, TlxNodeEvent onNodeDone)
        : TlxConvertor(batch, chainCount, std::move(onNodeDone)) {}

protected:
    void ConvertNode(TlxBatch *batch, TlxNode *node) override {
        m_thread = QThread::currentThread();
        {
            QMutexLocker locker(&record.lock);
            record.inProgress << node;
        }
        while (record.hold.load())
            QThread::usleep(200);
        if (const int us = record.delayUs.load())
            QThread::usleep(us);
        {
            QMutexLocker locker(&record.lock);
            record.inProgress.remove(node);
            record.converted << node;
        }
        if (node->SourceFile.contains(QStringLiteral("bad.")))
            throw ElxError(QStringLiteral("bad file"));
        node->Status = nsSuccess;
        node->ResultText = node->SourceFile + QStringLiteral(".out");
        batch->AddSuccess();
    }
    void CleanUp() override {
        QMutexLocker locker(&record.lock);
        (m_thread == nullptr || m_thread == QThread::currentThread() ? record.cleanUpsOnOwnThread
                                                                     : record.cleanUpsElsewhere)++;
        record.lastCleanUp = ++record.sequence;
    }

private:
    QThread *m_thread = nullptr;
};

const TlxConvertorClassOf<TestConvertor> testConvertorClass;

void touch(const QString &path) {
    QVERIFY(TestSupport::writeAll(path, "x"));
}

// A name as the file system holds it, bytes that are not UTF-8 included.
QString raw(const char *bytes) {
    return TlxFileName::Decode(bytes);
}

qint64 modified(const QString &path) {
    struct stat st {};
    return ::stat(TlxFileName::Encode(path).constData(), &st) == 0 ? qint64(st.st_mtime) : -1;
}

// A batch holding the given paths, complete, as for files chosen one by one.
void fill(TlxBatch &batch, int count, const QString &prefix = QStringLiteral("/in/f")) {
    for (int i = 0; i < count; ++i) {
        if (i + 1 < count)
            batch.AddFile(prefix + QString::number(i) + QStringLiteral(".ppt"));
        else
            batch.AddFileAndComplete(prefix + QString::number(i) + QStringLiteral(".ppt"));
    }
}

// Every node converted exactly once.
void verifyConvertedOnce(TlxBatch &batch) {
    QMutexLocker locker(&record.lock);
    QCOMPARE(QSet<TlxNode *>(record.converted.begin(), record.converted.end()).size(), record.converted.size());
    QCOMPARE(int(record.converted.size()), batch.NodeCount());
}

} // namespace

class TestConvertorRun : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void targetPath_data();
    void targetPath();
    void newerConvertsWhatChanged_data();
    void newerConvertsWhatChanged();
    void targetFolderCannotBeMade();
    void sameOutputInOneRun();
    void deleteTargetTakesEverySlide();
    void formatAndSlidesChooseTheFiles_data();
    void formatAndSlidesChooseTheFiles();
    void finishSource_data();
    void finishSource();
    void chainFromThreadsCount_data();
    void chainFromThreadsCount();
    void emptyTargetMakesNoWorkers();
    void eachNodeOnce();
    void chosenFilesWithoutSearch();
    void errorsInTheLoop();
    void stopAllWhileConverting();
    void stopAllWhileWaiting();
    void consoleStylePolling();
    void stressChainLifetimes();

private:
    QTemporaryDir *m_dir = nullptr;
    QString m_root;
    std::unique_ptr<GlobalObjects> m_globals;
    std::shared_ptr<TlxConvertor> run(TlxBatch &batch, int threads, std::atomic<int> *finishes);
};

void TestConvertorRun::initTestCase() {
    m_globals = std::make_unique<GlobalObjects>();
    lxProject->ConverterClass = &testConvertorClass;
    lxProject->TargetExt = QStringLiteral(".emf");
    lxProject->ShortName = QStringLiteral("vorlane");
}

void TestConvertorRun::cleanupTestCase() {
    m_globals.reset();
}

void TestConvertorRun::init() {
    m_dir = new QTemporaryDir;
    m_root = m_dir->path() + u'/';
    lxProject->SetOptions({});
    record.reset();
    RunningWorkers = 0;
}

void TestConvertorRun::cleanup() {
    TestSupport::removeAll(m_dir->path());
    delete m_dir;
}

// Creates and starts a chain on the batch; OnFinish counts into finishes and must run on the main thread.
std::shared_ptr<TlxConvertor> TestConvertorRun::run(TlxBatch &batch, int threads, std::atomic<int> *finishes) {
    lxProject->SetOption(QStringLiteral("ThreadsCount"), QString::number(threads));
    auto head = TlxConvertor::CreateWorkers(&batch, m_root + "out", [](TlxBatch *, TlxNode *node) {
        QMutexLocker locker(&record.lock);
        record.reported << node;
    });
    RunningWorkers += head->ChainCount() < 1 ? 1 : head->ChainCount();
    head->SetOnFinish([finishes] {
        if (QThread::currentThread() != QCoreApplication::instance()->thread())
            qFatal("OnFinish off the main thread");
        ++*finishes;
    });
    head->StartAll();
    return head;
}

void TestConvertorRun::targetPath_data() {
    QTest::addColumn<QString>("sourceFile"); // below m_root
    QTest::addColumn<QString>("target");     // the batch's TargetDir, below m_root
    QTest::addColumn<QString>("keepSubdirs");
    QTest::addColumn<QString>("overwrite");
    QTest::addColumn<QString>("targetExt");
    QTest::addColumn<QStringList>("existing"); // files already there, below m_root
    QTest::addColumn<QString>("expected");     // below m_root; empty for a skipped node

    const QStringList none;
    QTest::newRow("sub-folders kept") << "in/a/b/talk.pptx"
                                      << "out/"
                                      << ""
                                      << ""
                                      << ".emf" << none << "out/a/b/talk.emf";
    QTest::newRow("flat") << "in/a/b/talk.pptx"
                          << "out/"
                          << "false"
                          << ""
                          << ".emf" << none << "out/talk.emf";
    QTest::newRow("no extension") << "in/README"
                                  << "out/"
                                  << ""
                                  << ""
                                  << ".emf" << none << "out/README.emf";
    QTest::newRow("dot only in a folder") << "in/v1.2/talk"
                                          << "out/"
                                          << ""
                                          << ""
                                          << ".emf" << none << "out/v1.2/talk.emf";
    QTest::newRow("colon") << "in/a:b.ppt"
                           << "out/"
                           << ""
                           << ""
                           << ".emf" << none << "out/a_b.emf";
    QTest::newRow("no target extension") << "in/talk.ppt"
                                         << "out/"
                                         << ""
                                         << ""
                                         << "" << none << "out/talk.ppt";
    QTest::newRow("target without slash") << "in/talk.ppt"
                                          << "out"
                                          << ""
                                          << ""
                                          << ".emf" << none << "out/talk.emf";
    QTest::newRow("exists, overwrite") << "in/talk.ppt"
                                       << "out/"
                                       << ""
                                       << "True"
                                       << ".emf" << QStringList{"out/talk.emf"} << "out/talk.emf";
    QTest::newRow("exists, skip") << "in/talk.ppt"
                                  << "out/"
                                  << ""
                                  << "skip"
                                  << ".emf" << QStringList{"out/talk.emf"} << "";
    QTest::newRow("exists, SKIP") << "in/talk.ppt"
                                  << "out/"
                                  << ""
                                  << "SKIP"
                                  << ".emf" << QStringList{"out/talk.emf"} << "";
    QTest::newRow("missing, skip") << "in/talk.ppt"
                                   << "out/"
                                   << ""
                                   << "skip"
                                   << ".emf" << none << "out/talk.emf";
    QTest::newRow("exists, keep") << "in/s/talk.ppt"
                                  << "out/"
                                  << ""
                                  << "false"
                                  << ".emf" << QStringList{"out/s/talk.emf"} << "out/s/-vorlane-talk.emf";
    QTest::newRow("keep, kept name exists too")
        << "in/talk.ppt"
        << "out/"
        << ""
        << "0"
        << ".emf" << QStringList{"out/talk.emf", "out/-vorlane-talk.emf"} << "out/-vorlane-talk.emf";
    // Latin-1 names from old archives: the output keeps the very bytes, in its folder too.
    QTest::newRow("bytes not UTF-8") << raw("in/Pr\xe4s/talk\xff.pptx") << "out/"
                                     << ""
                                     << ""
                                     << ".emf" << none << raw("out/Pr\xe4s/talk\xff.emf");
    QTest::newRow("bytes not UTF-8, keep")
        << raw("in/Pr\xe4sentation.ppt") << "out/"
        << ""
        << "false"
        << ".emf" << QStringList{raw("out/Pr\xe4sentation.emf")} << raw("out/-vorlane-Pr\xe4sentation.emf");
}

void TestConvertorRun::targetPath() {
    QFETCH(QString, sourceFile);
    QFETCH(QString, target);
    QFETCH(QString, keepSubdirs);
    QFETCH(QString, overwrite);
    QFETCH(QString, targetExt);
    QFETCH(QStringList, existing);
    QFETCH(QString, expected);
    for (const QString &file : existing)
        touch(m_root + file);
    lxProject->SetOption(QStringLiteral("KeepTargetSubdirs"), keepSubdirs);
    lxProject->SetOption(QStringLiteral("IsOverwrite"), overwrite);
    lxProject->TargetExt = targetExt;

    TlxBatch batch;
    batch.AddFileAndComplete(m_root + sourceFile);
    batch.Search(m_root + "in/*.ppt?", m_root + target, true); // parameters only: the batch is complete
    TlxNode *node = batch.NextNode();
    const QString path = TlxConvertor::TargetPath(&batch, node);
    lxProject->TargetExt = QStringLiteral(".emf");

    QCOMPARE(path, expected.isEmpty() ? QString() : m_root + expected);
    QCOMPARE(node->Status, expected.isEmpty() ? qint32(nsSuccess) : qint32(nsRunning));
    QVERIFY(node->ResultText.isEmpty());
    QCOMPARE(batch.Successes() + batch.Failures(), 0);
    if (!expected.isEmpty())
        QVERIFY(TlxFileName::IsDir(TlxFileUtils::FolderPart(path))); // its folder exists now
}

// IsOverwrite=newer: a deck is converted when it has no output or changed after its output was written (for
// slides chosen, the file of the first of them counts); else it is skipped.
void TestConvertorRun::newerConvertsWhatChanged_data() {
    QTest::addColumn<int>("sourceAge"); // seconds before now
    QTest::addColumn<int>("outputAge"); // seconds before now; -1: no output
    QTest::addColumn<QString>("slides");
    QTest::addColumn<bool>("converted");
    QTest::newRow("no output") << 60 << -1 << "" << true;
    QTest::newRow("changed since") << 10 << 60 << "" << true;
    QTest::newRow("unchanged") << 60 << 10 << "" << false;
    QTest::newRow("same second") << 30 << 30 << "" << false;
    QTest::newRow("first chosen slide's file counts") << 10 << 60 << "2-3" << true;
}

void TestConvertorRun::newerConvertsWhatChanged() {
    QFETCH(int, sourceAge);
    QFETCH(int, outputAge);
    QFETCH(QString, slides);
    QFETCH(bool, converted);
    auto age = [](const QString &path, int seconds) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(-seconds), QFileDevice::FileModificationTime));
    };
    touch(m_root + "in/talk.ppt");
    age(m_root + "in/talk.ppt", sourceAge);
    const QString output = m_root + (slides.isEmpty() ? "out/talk.emf" : "out/talk-2.emf");
    if (outputAge >= 0) {
        touch(output);
        age(output, outputAge);
    }
    lxProject->SetOption(QStringLiteral("IsOverwrite"), QStringLiteral("newer"));
    lxProject->SetOption(QStringLiteral("Slides"), slides);
    TlxBatch batch;
    batch.Search(m_root + "in/*.ppt?", m_root + "out", false);
    TlxNode *node = batch.NextNode();
    QVERIFY(node);
    const QString path = TlxConvertor::TargetPath(&batch, node);
    lxProject->SetOption(QStringLiteral("Slides"), QString());
    QCOMPARE(path, converted ? m_root + "out/talk.emf" : QString());
    QCOMPARE(node->Status, converted ? qint32(nsRunning) : qint32(nsSuccess));
}

void TestConvertorRun::targetFolderCannotBeMade() {
    touch(m_root + "out/blocker"); // a file where a folder should go
    TlxBatch batch;
    batch.AddFileAndComplete(m_root + "in/sub/talk.ppt");
    batch.Search(m_root + "in/*.ppt", m_root + "out/blocker/", true);
    TlxNode *node = batch.NextNode();
    QCOMPARE(TlxConvertor::TargetPath(&batch, node), m_root + "out/blocker/sub/talk.emf");
    QCOMPARE(batch.Failures(), 1);
    QCOMPARE(batch.FailedTexts(), QStringList{"CreateDir Failed: " + m_root + "out/blocker/sub/"});
}

// talk.ppt, talk.pptx and talk.pps of one run map to one output name: each keeps its own slides.
void TestConvertorRun::sameOutputInOneRun() {
    TlxBatch batch;
    for (const char *name : {"in/talk.ppt", "in/talk.pptx", "in/talk.pps"})
        batch.AddFile(m_root + name);
    batch.AddFileAndComplete(m_root + "in/other.ppt");
    batch.Search(m_root + "in/*.pp*", m_root + "out/", false);
    QStringList paths;
    while (TlxNode *node = batch.NextNode())
        paths << TlxConvertor::TargetPath(&batch, node).mid(m_root.size());
    QCOMPARE(paths, (QStringList{"out/talk.emf", "out/-vorlane-talk.emf", "out/-vorlane2-talk.emf", "out/other.emf"}));
}

void TestConvertorRun::finishSource_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("deleteSource");
    QTest::addColumn<QString>("renameSource");
    QTest::addColumn<bool>("sourceLeft");
    QTest::addColumn<bool>("renamedLeft");
    const QString talk = QStringLiteral("talk.pptx");
    QTest::newRow("nothing") << talk << ""
                             << "" << true << false;
    QTest::newRow("delete") << talk << "true"
                            << "" << false << false;
    QTest::newRow("rename") << talk << ""
                            << ".done" << false << true;
    QTest::newRow("delete and rename") << talk << "True"
                                       << ".done" << false << false;
    QTest::newRow("rename, bytes not UTF-8") << raw("Pr\xe4sentation.pptx") << ""
                                             << ".done" << false << true;
    QTest::newRow("delete, bytes not UTF-8") << raw("Pr\xe4sentation.pptx") << "1"
                                             << "" << false << false;
}

void TestConvertorRun::finishSource() {
    QFETCH(QString, name);
    QFETCH(QString, deleteSource);
    QFETCH(QString, renameSource);
    QFETCH(bool, sourceLeft);
    QFETCH(bool, renamedLeft);
    const QString source = m_root + "in/" + name;
    const QString output = m_root + "out/" + name.chopped(5) + ".emf";
    const QString slide2 = m_root + "out/" + name.chopped(5) + "-2.emf";
    touch(source);
    touch(output);
    touch(slide2);
    struct utimbuf old {};
    old.actime = old.modtime = 1000000000; // 2001
    QCOMPARE(utime(TlxFileName::Encode(source).constData(), &old), 0);
    lxProject->SetOption(QStringLiteral("DeleteSource"), deleteSource);
    lxProject->SetOption(QStringLiteral("RenameSource"), renameSource);
    lxProject->SetOption(QStringLiteral("KeepFileTime"), QStringLiteral("true"));

    TlxBatch batch;
    batch.AddFileAndComplete(source);
    TlxConvertor::FinishSource(&batch, batch.NextNode(), output);
    QCOMPARE(TlxFileName::Exists(source), sourceLeft);
    QCOMPARE(TlxFileName::Exists(source + ".done"), renamedLeft);
    QCOMPARE(modified(output), qint64(1000000000));
    QCOMPARE(modified(slide2), qint64(1000000000)); // every slide's file
}

// Overwriting removes the old output's further slides too, and nothing past a gap in the numbers.
void TestConvertorRun::deleteTargetTakesEverySlide() {
    for (const char *name : {"out/talk.emf", "out/talk-2.emf", "out/talk-3.emf", "out/talk-5.emf", "out/talk-x.emf"})
        touch(m_root + name);
    QCOMPARE(TlxConvertor::SlideFiles(m_root + "out/talk.emf").size(), 3);
    TlxConvertor::DeleteTarget(m_root + "out/talk.emf");
    QVERIFY(!QFileInfo::exists(m_root + "out/talk.emf"));
    QVERIFY(!QFileInfo::exists(m_root + "out/talk-3.emf"));
    QVERIFY(QFileInfo::exists(m_root + "out/talk-5.emf"));
    QVERIFY(QFileInfo::exists(m_root + "out/talk-x.emf"));
    // Without a first slide nothing is taken for an old output.
    TlxConvertor::DeleteTarget(m_root + "out/talk.emf");
    QVERIFY(QFileInfo::exists(m_root + "out/talk-5.emf"));
}

void TestConvertorRun::formatAndSlidesChooseTheFiles_data() {
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("slides");
    QTest::addColumn<QStringList>("existing"); // in out/
    QTest::addColumn<QString>("output");       // the output name a run gives in/talk.pptx
    QTest::addColumn<QStringList>("files");    // the slide files of it that count (SlideFiles, DeleteTarget)
    QTest::addColumn<bool>("skipped");         // under IsOverwrite=skip
    const QStringList emf = {"talk.emf", "talk-2.emf", "talk-3.emf", "talk-5.emf", "talk-6.emf", "talk-8.emf"};
    QTest::newRow("every slide") << ""
                                 << "" << emf << "talk.emf" << QStringList{"talk.emf", "talk-2.emf", "talk-3.emf"}
                                 << true;
    QTest::newRow("a range") << "EMF"
                             << "2-3" << emf << "talk.emf" << QStringList{"talk-2.emf", "talk-3.emf"} << true;
    QTest::newRow("ranges, open end") << "emf"
                                      << "1,3,5-" << emf << "talk.emf"
                                      << QStringList{"talk.emf", "talk-3.emf", "talk-5.emf", "talk-6.emf"} << true;
    QTest::newRow("open end beyond the files") << "emf"
                                               << "9-" << emf << "talk.emf" << QStringList{} << false;
    // Skip looks for the first slide the run writes, not for slide 1.
    QTest::newRow("slide 1 missing, slide 2 chosen")
        << "emf"
        << "2" << QStringList{"talk-2.emf"} << "talk.emf" << QStringList{"talk-2.emf"} << true;
    QTest::newRow("slide 1 missing, every slide")
        << "emf"
        << "" << QStringList{"talk-2.emf"} << "talk.emf" << QStringList{} << false;
    // Skip looks for the file of the chosen format.
    QTest::newRow("svg beside emf") << "Svg"
                                    << "" << emf << "talk.svg" << QStringList{} << false;
    QTest::newRow("emz") << "emz"
                         << "" << QStringList{"talk.emz", "talk-2.emz"} << "talk.emz"
                         << QStringList{"talk.emz", "talk-2.emz"} << true;
    // One file a deck: further slide names are not its own.
    QTest::newRow("pdf") << "pdf"
                         << "2-" << QStringList{"talk.pdf", "talk-2.pdf"} << "talk.pdf" << QStringList{"talk.pdf"}
                         << true;
}

void TestConvertorRun::formatAndSlidesChooseTheFiles() {
    QFETCH(QString, format);
    QFETCH(QString, slides);
    QFETCH(QStringList, existing);
    QFETCH(QString, output);
    QFETCH(QStringList, files);
    QFETCH(bool, skipped);
    for (const QString &file : existing)
        touch(m_root + "out/" + file);
    lxProject->SetOption(QStringLiteral("Format"), format);
    lxProject->SetOption(QStringLiteral("Slides"), slides);
    lxProject->SetOption(QStringLiteral("IsOverwrite"), QStringLiteral("skip"));
    TlxBatch batch;
    batch.AddFileAndComplete(m_root + "in/talk.pptx");
    batch.Search(m_root + "in/*.ppt?", m_root + "out", true);
    const QString path = TlxConvertor::TargetPath(&batch, batch.NextNode());
    QCOMPARE(path, skipped ? QString() : m_root + "out/" + output);

    QStringList expected;
    for (const QString &file : files)
        expected << m_root + "out/" + file;
    QCOMPARE(TlxConvertor::SlideFiles(m_root + "out/" + output), expected);
    TlxConvertor::DeleteTarget(m_root + "out/" + output);
    for (const QString &file : existing)
        QCOMPARE(QFileInfo::exists(m_root + "out/" + file), !files.contains(file));
}

void TestConvertorRun::chainFromThreadsCount_data() {
    QTest::addColumn<QString>("threadsCount");
    QTest::addColumn<QList<int>>("chain");
    QTest::newRow("3") << "3" << QList<int>{3, 2, 1};
    QTest::newRow("absent") << "" << QList<int>{1};
    QTest::newRow("0") << "0" << QList<int>{0};
    QTest::newRow("-2") << "-2" << QList<int>{-2};
    QTest::newRow("abc") << "abc" << QList<int>{1};
}

void TestConvertorRun::chainFromThreadsCount() {
    QFETCH(QString, threadsCount);
    QFETCH(QList<int>, chain);
    lxProject->SetOption(QStringLiteral("ThreadsCount"), threadsCount);
    TlxBatch batch;
    fill(batch, 10);
    auto head = TlxConvertor::CreateWorkers(&batch, m_root + "out", {});
    QList<int> counts;
    for (auto worker = head; worker; worker = worker->NextWorker())
        counts << worker->ChainCount();
    QCOMPARE(counts, chain);
    QCOMPARE(batch.TargetDir(), m_root + "out");

    std::atomic<int> finishes{0};
    RunningWorkers = int(chain.size());
    head->SetOnFinish([&finishes] { ++finishes; });
    head->StartAll();
    QTRY_COMPARE(finishes.load(), int(chain.size()));
    QTest::qWait(20);
    QCOMPARE(finishes.load(), int(chain.size())); // exactly that many
    QCOMPARE(RunningWorkers.load(), 0);
    for (auto worker = head; worker; worker = worker->NextWorker())
        QVERIFY(worker->Ended());
    verifyConvertedOnce(batch);
    QCOMPARE(record.cleanUpsOnOwnThread, int(chain.size()));
    QCOMPARE(record.cleanUpsElsewhere, 0);
}

void TestConvertorRun::emptyTargetMakesNoWorkers() {
    TlxBatch batch;
    QVERIFY_THROWS_EXCEPTION(ElxError, TlxConvertor::CreateWorkers(&batch, QString(), {}));
}

void TestConvertorRun::eachNodeOnce() {
    // Eight workers start while the search is still adding the nodes.
    for (int i = 0; i < 5000; ++i)
        touch(m_root + QStringLiteral("in/d%1/f%2.ppt").arg(i % 7).arg(i));
    TlxBatch batch;
    batch.Search(m_root + "in/*.ppt", m_root + "out", true);
    std::atomic<int> finishes{0};
    auto head = run(batch, 8, &finishes);
    QTRY_COMPARE_WITH_TIMEOUT(finishes.load(), 8, 30000);
    QCOMPARE(batch.NodeCount(), 5000);
    verifyConvertedOnce(batch);
    QCOMPARE(record.reported.size(), 5000);
    QCOMPARE(batch.Successes(), 5000);
    QVERIFY(batch.Exhausted());
}

void TestConvertorRun::chosenFilesWithoutSearch() {
    TlxBatch batch;
    batch.AddFile(QStringLiteral("/chosen/a.ppt"));
    batch.AddFileAndComplete(QStringLiteral("/chosen/b.pptx"));
    std::atomic<int> finishes{0};
    auto head = run(batch, 2, &finishes);
    QTRY_COMPARE(finishes.load(), 2);
    QCOMPARE(record.convertedCount(), 2);
    verifyConvertedOnce(batch);
}

void TestConvertorRun::errorsInTheLoop() {
    TlxBatch batch;
    batch.AddFile(QStringLiteral("/in/good.ppt"));
    batch.AddFile(QStringLiteral("/in/bad.ppt"));
    batch.AddFileAndComplete(QStringLiteral("/in/handler.ppt"));
    lxProject->SetOption(QStringLiteral("ThreadsCount"), QStringLiteral("1"));
    QList<QString> reported;
    auto head = TlxConvertor::CreateWorkers(&batch, m_root + "out", [&reported](TlxBatch *, TlxNode *node) {
        reported << node->SourceFile;
        if (node->SourceFile.contains(QStringLiteral("handler")))
            throw std::runtime_error("handler broke");
    });
    std::atomic<int> finishes{0};
    head->SetOnFinish([&finishes] { ++finishes; });
    RunningWorkers = 1;
    head->StartAll();
    QTRY_COMPARE(finishes.load(), 1);
    const QList<TlxNode *> &nodes = batch.LockNodes();
    const TlxNode good = *nodes[0], bad = *nodes[1], handler = *nodes[2];
    batch.UnlockNodes();
    QCOMPARE(good.Status, qint32(nsSuccess));
    // An error out of ConvertNode: its message, no status change, no report, no counter.
    QCOMPARE(bad.Status, qint32(nsRunning));
    QCOMPARE(bad.ResultText, QStringLiteral("bad file"));
    // An error out of the handler replaces the result text; the worker carries on.
    QCOMPARE(handler.Status, qint32(nsSuccess));
    QCOMPARE(handler.ResultText, QStringLiteral("handler broke"));
    QCOMPARE(reported, (QList<QString>{"/in/good.ppt", "/in/handler.ppt"}));
    QCOMPARE(batch.Successes(), 2);
    QCOMPARE(batch.Failures(), 0);
}

void TestConvertorRun::stopAllWhileConverting() {
    TlxBatch batch;
    fill(batch, 20);
    record.hold = true;
    std::atomic<int> finishes{0};
    auto head = run(batch, 3, &finishes);
    QTRY_COMPARE(record.busyCount(), 3);
    head->StopAll(); // returns at once, while every worker is in the middle of a file
    QCOMPARE(finishes.load(), 0);
    record.hold = false;
    QTRY_COMPARE(finishes.load(), 3);
    QCOMPARE(record.convertedCount(), 3);
    QCOMPARE(record.reported.size(), 3);
    QCOMPARE(batch.NextIndex(), 3);
    QVERIFY(!batch.Exhausted());
    head->StopAll(); // on a chain whose workers have all ended
    QCOMPARE(head->ChainCount(), 3);

    // Pause and carry on: new workers on the same batch start with the first node not handed out.
    std::atomic<int> more{0};
    auto second = run(batch, 2, &more);
    QTRY_COMPARE(more.load(), 2);
    verifyConvertedOnce(batch);
    QCOMPARE(batch.Successes(), 20);
    QVERIFY(batch.Exhausted());
}

void TestConvertorRun::stopAllWhileWaiting() {
    TlxBatch batch; // nothing added yet: the workers wait for the list
    std::atomic<int> finishes{0};
    auto head = run(batch, 2, &finishes);
    QTest::qWait(20);
    head->StopAll();
    QTest::qWait(20);
    QCOMPARE(finishes.load(), 0); // still waiting: a stop request does not end the wait
    batch.AddFileAndComplete(QStringLiteral("/late/a.ppt"));
    QTRY_COMPARE(finishes.load(), 2);
    QCOMPARE(record.convertedCount(), 1); // the node that arrived is converted, then both end
    QCOMPARE(RunningWorkers.load(), 0);
}

void TestConvertorRun::consoleStylePolling() {
    // No OnFinish, and a main thread that only sleeps and polls: nothing may need it to serve events.
    TlxBatch batch;
    fill(batch, 50);
    lxProject->SetOption(QStringLiteral("ThreadsCount"), QStringLiteral("4"));
    auto head = TlxConvertor::CreateWorkers(&batch, m_root + "out", {});
    RunningWorkers = head->ChainCount();
    head->StartAll();
    QElapsedTimer timer;
    timer.start();
    while (RunningWorkers.load() > 0 && timer.elapsed() < 10000)
        QThread::msleep(10);
    QCOMPARE(RunningWorkers.load(), 0);
    head = nullptr;
    QCOMPARE(batch.NodeCount(), 50);
    QCOMPARE(batch.Successes(), 50);
}

void TestConvertorRun::stressChainLifetimes() {
    // Chains that end at every possible moment relative to the owner: stopped at once, dropped by the owner while
    // running (workers then free themselves on their own threads), read after they ended, and a batch destroyed
    // by the last OnFinish. AddressSanitizer turns any touch of a freed worker or batch into a failure.
    QRandomGenerator random(42);
    const int rounds = 150;
    for (int round = 0; round < rounds; ++round) {
        auto *batch = new TlxBatch;
        const int nodes = int(random.bounded(40));
        if (nodes == 0)
            batch->AddFileAndComplete(QStringLiteral("/in/only.ppt"));
        else
            fill(*batch, nodes);
        record.delayUs = int(random.bounded(3)) * 50;
        const int threads = 1 + int(random.bounded(8));
        lxProject->SetOption(QStringLiteral("ThreadsCount"), QString::number(threads));
        auto head = TlxConvertor::CreateWorkers(
            batch, m_root + "out", [](TlxBatch *b, TlxNode *node) { QVERIFY(node->ListIndex < b->NodeCount()); });
        std::atomic<int> finishes{0};
        std::atomic<bool> batchGone{false};
        head->SetOnFinish([&finishes, &batchGone, batch, threads] {
            if (++finishes == threads) { // the last report: every worker is done with the batch
                delete batch;
                batchGone = true;
            }
        });
        RunningWorkers = threads;
        head->StartAll();
        const int mode = round % 4;
        if (mode == 0)
            head->StopAll();
        std::weak_ptr<TlxConvertor> watch = head;
        if (mode == 1)
            head = nullptr; // the owner lets go while the workers run
        QTRY_VERIFY_WITH_TIMEOUT(batchGone.load(), 10000);
        if (head) {
            head->StopAll();
            QCOMPARE(head->ChainCount(), threads);
            int linked = 0;
            for (auto worker = head; worker; worker = worker->NextWorker())
                ++linked;
            QCOMPARE(linked, threads);
            head = nullptr;
        }
        QTRY_VERIFY(watch.expired()); // every worker freed, wherever it let go
        QCOMPARE(finishes.load(), threads);
        QCOMPARE(RunningWorkers.load(), 0);
    }
}

QTEST_GUILESS_MAIN(TestConvertorRun)
#include "tst_convertor.moc"
