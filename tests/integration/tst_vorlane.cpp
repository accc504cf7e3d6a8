// Whole runs through the converter workers against the real office: the corpus in parallel, bad files, and an
// office killed in the middle of a run.
#include "ConverterProject.h"
#include "TestSupport.h"
#include "engine/lxBatch.h"
#include "engine/lxVORLANE.h"
#include "info/lxInfo.h"
#include "platform/office/OfficeServer.h"
#include "project/lxProject.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>
#include <QtEndian>
#include <QtTest>

#include <atomic>
#include <csignal>
#include <unistd.h>

namespace {
using Deck = TestSupport::CorpusDeck;
using TestSupport::corpusDecks;

bool isEmf(const QString &path) {
    const QByteArray data = TestSupport::readAll(path);
    return data.size() >= 88 && qFromLittleEndian<quint32>(data.constData()) == 1 && data.mid(40, 4) == " EMF";
}

using TestSupport::slidePath;

// soffice.bin processes whose parent is this program.
QList<pid_t> officeChildren() {
    QList<pid_t> found;
    for (const QString &e : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool ok = false;
        const pid_t pid = e.toInt(&ok);
        if (!ok)
            continue;
        const QByteArray stat = TestSupport::readAll(QStringLiteral("/proc/%1/stat").arg(pid));
        const qsizetype close = stat.lastIndexOf(')');
        if (close < 0 || !stat.contains("(soffice.bin)") || stat.mid(close + 2, 1) == "Z")
            continue;
        const QList<QByteArray> rest = stat.mid(close + 2).split(' ');
        if (rest.size() > 1 && rest.at(1).toInt() == getpid())
            found << pid;
    }
    return found;
}
} // namespace

class TestVorlane : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void twoWorkersConvertTheCorpus();
    void killedOfficeCostsAtMostOneFile();
    void hungOfficeStoppedByProjectTimeout();

private:
    void run(const QStringList &files, const std::function<void()> &whileRunning = {});
    TlxNode *node(int i) {
        TlxNode *n = m_batch->LockNodes().at(i);
        m_batch->UnlockNodes();
        return n;
    }

    std::unique_ptr<ConverterProject> m_project;
    QTemporaryDir m_out;
    TlxBatch *m_batch = nullptr;
};

void TestVorlane::initTestCase() {
    const QString problem = TestSupport::corpusProblem();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    m_project = std::make_unique<ConverterProject>();
    QVERIFY(m_out.isValid());
}

void TestVorlane::cleanupTestCase() {
    m_project.reset();
}

void TestVorlane::init() {
    lxProject->SetOptions({QStringLiteral("ThreadsCount=2")});
    m_batch = new TlxBatch;
}

void TestVorlane::cleanup() {
    delete m_batch;
    m_batch = nullptr;
    // Every worker quit its office.
    QTRY_VERIFY_WITH_TIMEOUT(officeChildren().isEmpty(), 5000);
}

void TestVorlane::run(const QStringList &files, const std::function<void()> &whileRunning) {
    QVERIFY2(!files.isEmpty(), "no files to convert");
    for (qsizetype i = 0; i + 1 < files.size(); ++i)
        m_batch->AddFile(files.at(i));
    m_batch->AddFileAndComplete(files.last());
    const QString target = m_out.filePath(QString::fromLatin1(QTest::currentTestFunction())) + u'/';
    std::shared_ptr<TlxConvertor> head = TlxConvertor::CreateWorkers(m_batch, target, [](TlxBatch *, TlxNode *) {});
    head->StartAll();
    if (whileRunning)
        whileRunning();
    QElapsedTimer t;
    t.start();
    for (TlxConvertor *w = head.get(); w; w = w->NextWorker().get())
        while (!w->Ended()) {
            QVERIFY2(t.elapsed() < 300000, "workers did not end");
            QThread::msleep(10);
        }
}

void TestVorlane::twoWorkersConvertTheCorpus() {
    // Outputs go by file name only, so decks that share a name (SampleShow.ppt and .pptx) get their own names.
    lxProject->SetOption(QStringLiteral("IsOverwrite"), QStringLiteral("false"));
    const QList<Deck> good = corpusDecks(QStringLiteral("convert"));
    const QList<Deck> bad = corpusDecks(QStringLiteral("fail"));
    QStringList files;
    for (const Deck &d : good)
        files << d.path;
    for (const Deck &d : bad)
        files << d.path;
    QElapsedTimer t;
    t.start();
    run(files);
    qInfo("%lld files with two workers in %lld ms", qlonglong(files.size()), t.elapsed());
    for (int i = 0; i < good.size(); ++i) {
        TlxNode *n = node(i);
        QVERIFY2(n->Status == nsSuccess, qPrintable(n->SourceFile + " => " + n->ResultText));
        for (int k = 1; k <= good.at(i).slides; ++k)
            QVERIFY2(isEmf(slidePath(n->ResultText, k)), qPrintable(slidePath(n->ResultText, k)));
    }
    for (int i = 0; i < bad.size(); ++i) {
        TlxNode *n = node(int(good.size()) + i);
        QCOMPARE(n->Status, qint32(nsFailure));
        QVERIFY2(n->ResultText.contains(n->SourceFile), qPrintable(n->ResultText));
    }
    QCOMPARE(m_batch->Successes(), int(good.size()));
    QCOMPARE(m_batch->Failures(), int(bad.size()));
    // The office's version as a whole number, rounded as VB rounds: 7.4 gives 7, 25.2 gives 25, 26.8 gives 27.
    const int version = lxInfo->StatValue(QStringLiteral("W")).toInt();
    QVERIFY2(version >= 7 && version <= 27, qPrintable(lxInfo->StatValue(QStringLiteral("W"))));
}

void TestVorlane::killedOfficeCostsAtMostOneFile() {
    const QList<Deck> good = corpusDecks(QStringLiteral("convert"));
    QStringList files;
    for (int round = 0; round < 2; ++round)
        for (const Deck &d : good)
            files << d.path;
    std::atomic<pid_t> killed{0};
    run(files, [&] {
        // Kill the first office seen once it has had time to start working.
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 60000 && !killed) {
            const QList<pid_t> offices = officeChildren();
            if (!offices.isEmpty() && m_batch->NextIndex() >= 3) {
                ::kill(offices.first(), SIGKILL);
                killed = offices.first();
            }
            QThread::msleep(20);
        }
    });
    QVERIFY(killed != 0);
    int failed = 0;
    for (int i = 0; i < files.size(); ++i) {
        TlxNode *n = node(i);
        if (n->Status == nsFailure) {
            ++failed;
            // The office killed may be one still starting (the other worker's, on a busy machine): its file fails
            // as not started, which costs no more.
            QVERIFY2(n->ResultText.contains(QLatin1String("ended unexpectedly")) ||
                         n->ResultText.contains(QLatin1String("could not be started: it was ended by signal 9")),
                     qPrintable(n->ResultText));
        } else {
            QVERIFY2(n->Status == nsSuccess, qPrintable(n->SourceFile + " => " + n->ResultText));
        }
    }
    qInfo("office %d killed after %d files were handed out: %d file(s) failed", int(killed), 3, failed);
    QVERIFY2(failed <= 1, qPrintable(QString::number(failed)));
    QCOMPARE(m_batch->Successes() + failed, int(files.size()));
}

void TestVorlane::hungOfficeStoppedByProjectTimeout() {
    lxProject->SetOption(QStringLiteral("ThreadsCount"), QStringLiteral("1"));
    lxProject->SetOption(QStringLiteral("Timeout"), QStringLiteral("5"));
    const QString dir = TestSupport::corpusDir();
    const QStringList files = {dir + "/test_slides.pptx", dir + "/SampleShow.ppt", dir + "/bar-chart.pptx",
                               dir + "/SampleShow.pptx", dir + "/smartart-simple.pptx"};
    std::atomic<pid_t> stopped{0};
    QElapsedTimer t;
    t.start();
    run(files, [&] {
        // Freeze the office once a file has been handed out after the first: it answers nothing from then on.
        QElapsedTimer wait;
        wait.start();
        while (wait.elapsed() < 60000 && !stopped) {
            const QList<pid_t> offices = officeChildren();
            if (!offices.isEmpty() && m_batch->NextIndex() >= 2) {
                ::kill(offices.first(), SIGSTOP);
                stopped = offices.first();
            }
            QThread::msleep(10);
        }
    });
    QVERIFY(stopped != 0);
    int failed = 0;
    for (int i = 0; i < files.size(); ++i) {
        TlxNode *n = node(i);
        if (n->Status == nsFailure) {
            ++failed;
            QVERIFY2(n->ResultText.contains(QLatin1String("longer than 5 seconds")), qPrintable(n->ResultText));
        } else {
            QVERIFY2(n->Status == nsSuccess, qPrintable(n->SourceFile + " => " + n->ResultText));
        }
    }
    // The file in hand fails, unless the freeze caught the office closing a deck whose slides were all written:
    // then no file fails, and the next one goes to a new office all the same.
    QVERIFY(failed <= 1);
    QVERIFY(::kill(stopped, 0) != 0); // the frozen office is gone
    QVERIFY(t.elapsed() < 60000);
}

QTEST_GUILESS_MAIN(TestVorlane)
#include "tst_vorlane.moc"
