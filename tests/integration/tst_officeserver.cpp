// Drives the LibreOffice-backed "PowerPoint.Application" through the automation layer on the test decks.
#include "TestSupport.h"
#include "automation/OleError.h"
#include "automation/OleRegistry.h"
#include "platform/office/OfficeProcess.h"
#include "platform/office/OfficeReleases.h"
#include "platform/office/OfficeServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QVersionNumber>
#include <QtEndian>
#include <QtTest>

#include <csignal>
#include <cstring>
#include <iostream>
#include <sys/stat.h>
#include <unistd.h>

using namespace automation;

namespace {
const QString kProgId = QStringLiteral("PowerPoint.Application");

using Deck = TestSupport::CorpusDeck;

// The decks the corpus says must convert, with their slide counts.
QList<Deck> goodDecks() {
    return TestSupport::corpusDecks(QStringLiteral("convert"));
}

using TestSupport::slidePath;

// An EMF starts with its header record (type 1) and carries the " EMF" signature at byte 40.
bool isEmf(const QString &path, QString *why) {
    const QByteArray data = TestSupport::readAll(path);
    if (data.size() < 88) {
        *why = QStringLiteral("%1: %2 bytes").arg(path).arg(data.size());
        return false;
    }
    const quint32 type = qFromLittleEndian<quint32>(data.constData());
    const quint32 bytes = qFromLittleEndian<quint32>(data.constData() + 48);
    if (type != 1 || data.mid(40, 4) != QByteArray(" EMF") || bytes != quint32(data.size())) {
        *why = QStringLiteral("%1: type %2, signature %3, size %4 of %5")
                   .arg(path)
                   .arg(type)
                   .arg(QString::fromLatin1(data.mid(40, 4).toHex()))
                   .arg(bytes)
                   .arg(data.size());
        return false;
    }
    return true;
}

// Office processes that are children of this program.
QList<qint64> officeChildren() {
    QList<qint64> found;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &e : entries) {
        bool ok = false;
        const qint64 pid = e.toLongLong(&ok);
        if (!ok)
            continue;
        const QByteArray stat = TestSupport::readAll(QStringLiteral("/proc/%1/stat").arg(pid));
        const qsizetype close = stat.lastIndexOf(')');
        if (close < 0 || !stat.contains("(soffice.bin)"))
            continue;
        const QList<QByteArray> rest = stat.mid(close + 2).split(' ');
        if (rest.size() > 1 && rest.at(1).toLongLong() == getpid())
            found << pid;
    }
    return found;
}

bool processGone(qint64 pid, int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        const QByteArray stat = TestSupport::readAll(QStringLiteral("/proc/%1/stat").arg(pid));
        // Gone, or a zombie waiting for its parent to reap it (and no longer tearing down other threads).
        if (stat.isEmpty() ||
            (stat.contains(") Z ") &&
             QDir(QStringLiteral("/proc/%1/task").arg(pid)).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size() <= 1))
            return true;
        QThread::msleep(20);
    }
    return false;
}

QString openAndSave(const DispatchRef &app, const QString &source, const QString &output) {
    DispatchRef pres;
    try {
        pres = app->GetProperty(QStringLiteral("Presentations"))
                   .toObject()
                   ->CallMethod(QStringLiteral("Open"), {source, true})
                   .toObject();
        pres->CallMethod(QStringLiteral("SaveAs"), {output, 23});
        pres->CallMethod(QStringLiteral("Close"));
        return QString();
    } catch (const EOleError &e) {
        if (pres) {
            try {
                pres->CallMethod(QStringLiteral("Close"));
            } catch (const EOleError &) {
            }
        }
        return e.message();
    }
}
} // namespace

class TestOfficeServer : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void members();
    void everyGoodDeck_data();
    void everyGoodDeck();
    void badFiles_data();
    void badFiles();
    void outputNotWritable();
    void killedOfficeFailsOneFile();
    void killedWhileIdle();
    void hungOfficeTimesOut();
    void recycledAfterFiles();
    void officeEndsWithItsThread();
    void officeEndsWithKilledProgram();
    void quitLeavesNothing();
    void releasesSettle();

private:
    DispatchRef m_app;
    QTemporaryDir m_out;
};

void TestOfficeServer::initTestCase() {
    ::umask(022);
    const QString problem = TestSupport::corpusProblem();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    RegisterOfficeServer();
    CoInitialize();
    QElapsedTimer t;
    t.start();
    m_app = CreateOleObject(kProgId);
    qInfo("office started in %lld ms", t.elapsed());
    QVERIFY(m_out.isValid());
}

void TestOfficeServer::cleanupTestCase() {
    if (m_app)
        m_app->CallMethod(QStringLiteral("Quit"));
    m_app.reset();
    QVERIFY(officeChildren().isEmpty());
}

void TestOfficeServer::init() {
    // Each case starts from the normal limits.
    m_app->PutProperty(QStringLiteral("Timeout"), 120);
    m_app->PutProperty(QStringLiteral("RecycleAfter"), 200);
    m_app->PutProperty(QStringLiteral("RecycleBytes"), 1024.0 * 1024 * 1024);
}

void TestOfficeServer::members() {
    // The offices of Debian 12 (7.4) and Debian 13 (25.2, and 26.8 from its security updates) are the ones the
    // converter is tested with; the version is "major.minor".
    const QString version = m_app->GetProperty(QStringLiteral("Version")).toString();
    QVERIFY2(QRegularExpression(QStringLiteral("^\\d+\\.\\d+$")).match(version).hasMatch(), qPrintable(version));
    const QVersionNumber number = QVersionNumber::fromString(version);
    QVERIFY2(number >= QVersionNumber(7, 4) && number <= QVersionNumber(26, 8), qPrintable(version));
    m_app->PutProperty(QStringLiteral("Visible"), true);
    m_app->PutProperty(QStringLiteral("WindowState"), 2);
    m_app->PutProperty(QStringLiteral("DisplayAlerts"), 1);
    QVERIFY(m_app->GetProperty(QStringLiteral("ProcessId")).toInt() > 0);
    DispatchRef pres = m_app->GetProperty(QStringLiteral("Presentations"))
                           .toObject()
                           ->CallMethod(QStringLiteral("Open"), {TestSupport::corpusDir() + "/SampleShow.pptx", false})
                           .toObject();
    try {
        // 17 is the presentation application's JPG, which the converter does not write.
        pres->CallMethod(QStringLiteral("SaveAs"), {m_out.filePath(QStringLiteral("x.jpg")), 17});
        QFAIL("a format the converter does not write was accepted");
    } catch (const EOleError &e) {
        QVERIFY2(e.message().contains(QLatin1String("format code 17")), qPrintable(e.message()));
    }
    pres->CallMethod(QStringLiteral("Close"));
    QVERIFY(!QFileInfo::exists(m_out.filePath(QStringLiteral("x.jpg"))));
    // Opening never writes beside the source (no lock file).
    QCOMPARE(
        QDir(TestSupport::corpusDir()).entryList(QStringList{QStringLiteral(".~lock*")}, QDir::Hidden | QDir::Files),
        QStringList());
}

void TestOfficeServer::everyGoodDeck_data() {
    QTest::addColumn<QString>("source");
    QTest::addColumn<int>("slides");
    const QList<Deck> decks = goodDecks();
    QVERIFY(decks.size() >= 5);
    for (const Deck &d : decks)
        QTest::newRow(qPrintable(QFileInfo(d.path).fileName())) << d.path << d.slides;
}

void TestOfficeServer::everyGoodDeck() {
    QFETCH(QString, source);
    QFETCH(int, slides);
    const QString output = m_out.filePath(QFileInfo(source).fileName() + QStringLiteral(".out/talk.emf"));
    QDir().mkpath(QFileInfo(output).path());
    QElapsedTimer t;
    t.start();
    const QString error = openAndSave(m_app, source, output);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    qInfo("%d slides in %lld ms", slides, t.elapsed());
    for (int k = 1; k <= slides; ++k) {
        QString why;
        QVERIFY2(isEmf(slidePath(output, k), &why), qPrintable(why));
    }
    // Outputs are made like any new file (not private to the owner).
    QVERIFY(QFileInfo(output).permissions() & QFile::ReadOther);
    // Exactly one file per slide, and no temporary file left.
    QCOMPARE(QDir(QFileInfo(output).path()).entryList(QDir::Files | QDir::Hidden).size(), slides);
}

void TestOfficeServer::badFiles_data() {
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("message");
    const QString bad = TestSupport::corpusDir() + QStringLiteral("/bad/");
    QTest::newRow("encrypted ppt") << bad + "Password_Protected-56-hello.ppt"
                                   << "password-protected";
    QTest::newRow("damaged pptx") << bad + "clusterfuzz-testcase-minimized-POIXSLFFuzzer-6254434927378432.pptx"
                                  << "damaged";
    const QString dir = m_out.filePath(QStringLiteral("bad"));
    QTest::newRow("missing") << dir + "/missing.pptx"
                             << "does not exist";
    TestSupport::writeAll(dir + "/empty.pptx", QByteArray());
    QTest::newRow("empty") << dir + "/empty.pptx"
                           << "is empty";
    TestSupport::writeAll(dir + "/letter.ppt", "Dear reader,\nthis is a letter, not slides.\n");
    QTest::newRow("text") << dir + "/letter.ppt"
                          << "not a presentation";
    QByteArray noise(4096, '\0');
    for (int i = 0; i < noise.size(); ++i)
        noise[i] = char((i * 7919 + 13) % 251);
    TestSupport::writeAll(dir + "/noise.pptx", noise);
    QTest::newRow("random bytes") << dir + "/noise.pptx"
                                  << "not a presentation";
    const QByteArray deck = TestSupport::readAll(TestSupport::corpusDir() + "/SampleShow.pptx");
    TestSupport::writeAll(dir + "/truncated.pptx", deck.left(deck.size() / 2));
    QTest::newRow("truncated pptx") << dir + "/truncated.pptx"
                                    << "damaged";
    QTest::newRow("folder") << dir << "Not a file";
}

void TestOfficeServer::badFiles() {
    QFETCH(QString, source);
    QFETCH(QString, message);
    QElapsedTimer t;
    t.start();
    const QString output = m_out.filePath(QStringLiteral("badout/") + QFileInfo(source).completeBaseName() + ".emf");
    QDir().mkpath(QFileInfo(output).path());
    const QString error = openAndSave(m_app, source, output);
    QVERIFY2(error.contains(message, Qt::CaseInsensitive), qPrintable(error));
    QVERIFY2(error.contains(source), qPrintable(error));
    QVERIFY(t.elapsed() < 10000);
    QVERIFY(!QFileInfo::exists(output));
    // The office is still good for the next file.
    QCOMPARE(openAndSave(m_app, TestSupport::corpusDir() + "/test_slides.pptx", m_out.filePath("after-bad.emf")),
             QString());
}

void TestOfficeServer::outputNotWritable() {
    QString dir = m_out.filePath(QStringLiteral("readonly"));
    QDir().mkpath(dir);
    QFile::setPermissions(dir, QFile::ReadOwner | QFile::ExeOwner);
    if (QFileInfo(dir).isWritable())
        dir = QStringLiteral("/proc"); // permissions do not bind this user; no one may create files here
    const QString error = openAndSave(m_app, TestSupport::corpusDir() + "/SampleShow.ppt", dir + "/out.emf");
    QVERIFY2(error.contains(QLatin1String("cannot be written")) && error.contains(dir + "/out.emf"), qPrintable(error));
    QVERIFY(!QFileInfo::exists(dir + "/out.emf"));
    QCOMPARE(QDir(dir).entryList(QStringList{QStringLiteral(".vorlane-*")}, QDir::Files | QDir::Hidden), QStringList());
    QFile::setPermissions(m_out.filePath(QStringLiteral("readonly")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // A missing folder says the same.
    const QString missing =
        openAndSave(m_app, TestSupport::corpusDir() + "/SampleShow.ppt", m_out.filePath("no/such/out.emf"));
    QVERIFY2(missing.contains(QLatin1String("cannot be written")), qPrintable(missing));
}

void TestOfficeServer::killedOfficeFailsOneFile() {
    const qint64 pid = m_app->GetProperty(QStringLiteral("ProcessId")).toInt();
    QVERIFY(pid > 0);
    const QString big = TestSupport::corpusDir() + "/sub/42486.ppt";
    // Kill the office while it writes a 33-slide deck.
    QThread *killer = QThread::create([pid] {
        QThread::msleep(400);
        ::kill(pid, SIGKILL);
    });
    QDir().mkpath(m_out.filePath(QStringLiteral("killed")));
    killer->start();
    QElapsedTimer t;
    t.start();
    const QString error = openAndSave(m_app, big, m_out.filePath(QStringLiteral("killed/big.emf")));
    killer->wait();
    delete killer;
    QVERIFY2(error.contains(QLatin1String("ended unexpectedly")), qPrintable(error));
    QVERIFY(t.elapsed() < 10000);
    QVERIFY(processGone(pid, 2000));
    // The next file starts a fresh office.
    QDir().mkpath(m_out.filePath(QStringLiteral("killed2")));
    QCOMPARE(openAndSave(m_app, big, m_out.filePath(QStringLiteral("killed2/big.emf"))), QString());
    QVERIFY(m_app->GetProperty(QStringLiteral("ProcessId")).toInt() != pid);
    QString why;
    QVERIFY2(isEmf(m_out.filePath(QStringLiteral("killed2/big-33.emf")), &why), qPrintable(why));
}

void TestOfficeServer::killedWhileIdle() {
    // An office that died between files costs no file: the next one starts a fresh office.
    // This program's offices only (their private pipes carry its process id): other programs may run offices.
    const auto pipes = [] {
        return QDir(QStringLiteral("/tmp"))
            .entryList(QStringList{QStringLiteral("OSL_PIPE_*_vorlane_%1_*").arg(getpid())}, QDir::System);
    };
    const qsizetype pipesBefore = pipes().size();
    const qint64 pid = m_app->GetProperty(QStringLiteral("ProcessId")).toInt();
    ::kill(pid, SIGKILL);
    QVERIFY(processGone(pid, 2000));
    m_app->PutProperty(QStringLiteral("Timeout"), 1);
    QCOMPARE(openAndSave(m_app, TestSupport::corpusDir() + "/SampleShow.ppt", m_out.filePath("idle.emf")), QString());
    QVERIFY(m_app->GetProperty(QStringLiteral("ProcessId")).toInt() != pid);
    // The dead office's pipe was cleared away; the new office has its own.
    QCOMPARE(pipes().size(), pipesBefore);
}

void TestOfficeServer::hungOfficeTimesOut() {
    const qint64 pid = m_app->GetProperty(QStringLiteral("ProcessId")).toInt();
    m_app->PutProperty(QStringLiteral("Timeout"), 1);
    // A stopped office answers nothing: the same as one that hangs.
    ::kill(pid, SIGSTOP);
    QElapsedTimer t;
    t.start();
    const QString error = openAndSave(m_app, TestSupport::corpusDir() + "/SampleShow.ppt", m_out.filePath("hung.emf"));
    QVERIFY2(error.contains(QLatin1String("longer than 1 seconds")), qPrintable(error));
    QVERIFY2(t.elapsed() < 5000, qPrintable(QString::number(t.elapsed())));
    QVERIFY(processGone(pid, 2000));
    QCOMPARE(openAndSave(m_app, TestSupport::corpusDir() + "/SampleShow.ppt", m_out.filePath("after-hung.emf")),
             QString());
    QVERIFY(m_app->GetProperty(QStringLiteral("ProcessId")).toInt() != pid);
}

void TestOfficeServer::recycledAfterFiles() {
    const QString deck = TestSupport::corpusDir() + "/test_slides.pptx";
    // With a limit of one file, this file runs on a fresh office (the shared one has had files before).
    m_app->PutProperty(QStringLiteral("RecycleAfter"), 1);
    QCOMPARE(openAndSave(m_app, deck, m_out.filePath("r0.emf")), QString());
    const qint64 first = m_app->GetProperty(QStringLiteral("ProcessId")).toInt();
    m_app->PutProperty(QStringLiteral("RecycleAfter"), 2);
    QCOMPARE(openAndSave(m_app, deck, m_out.filePath("r1.emf")), QString());
    QCOMPARE(m_app->GetProperty(QStringLiteral("ProcessId")).toInt(), first);
    QCOMPARE(openAndSave(m_app, deck, m_out.filePath("r2.emf")), QString());
    QVERIFY(m_app->GetProperty(QStringLiteral("ProcessId")).toInt() != first);
    QVERIFY(processGone(first, 5000));
    // An office above the memory limit is replaced before the next file.
    m_app->PutProperty(QStringLiteral("RecycleAfter"), 200);
    const qint64 second = m_app->GetProperty(QStringLiteral("ProcessId")).toInt();
    QCOMPARE(openAndSave(m_app, deck, m_out.filePath("r3.emf")), QString());
    QCOMPARE(m_app->GetProperty(QStringLiteral("ProcessId")).toInt(), second);
    m_app->PutProperty(QStringLiteral("RecycleBytes"), 1024.0 * 1024);
    QCOMPARE(openAndSave(m_app, deck, m_out.filePath("r4.emf")), QString());
    QVERIFY(m_app->GetProperty(QStringLiteral("ProcessId")).toInt() != second);
    m_app->PutProperty(QStringLiteral("RecycleBytes"), 1024.0 * 1024 * 1024);
}

void TestOfficeServer::officeEndsWithItsThread() {
    // A worker thread that ends without Quit takes its office with it.
    qint64 pid = 0;
    DispatchRef leaked;
    QThread *worker = QThread::create([&] {
        CoInitialize();
        leaked = CreateOleObject(kProgId);
        pid = leaked->GetProperty(QStringLiteral("ProcessId")).toInt();
    });
    worker->start();
    QVERIFY(worker->wait(60000));
    delete worker;
    QVERIFY(pid > 0);
    QVERIFY(processGone(pid, 3000));
    leaked.reset(); // releasing it afterwards is harmless
}

void TestOfficeServer::officeEndsWithKilledProgram() {
    // A helper copy of this program starts an office and is then killed outright.
    QProcess helper;
    helper.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--hold-office")});
    QVERIFY(helper.waitForStarted());
    QVERIFY(helper.waitForReadyRead(60000));
    const qint64 pid = helper.readLine().trimmed().toLongLong();
    QVERIFY(pid > 0);
    QVERIFY(!processGone(pid, 200));
    helper.kill();
    helper.waitForFinished();
    QVERIFY(processGone(pid, 3000));
}

void TestOfficeServer::quitLeavesNothing() {
    const auto profiles = [] {
        return QDir::temp().entryList(QStringList{QStringLiteral("vorlane-office-%1-*").arg(getpid())},
                                      QDir::Dirs | QDir::NoDotAndDotDot);
    };
    const QStringList before = profiles();
    CoInitialize();
    QElapsedTimer started;
    started.start();
    DispatchRef app = CreateOleObject(kProgId);
    qInfo("another office started in %lld ms", started.elapsed());
    const qint64 pid = app->GetProperty(QStringLiteral("ProcessId")).toInt();
    QCOMPARE(openAndSave(app, TestSupport::corpusDir() + "/SampleShow.ppt", m_out.filePath("quit.emf")), QString());
    QElapsedTimer t;
    t.start();
    app->CallMethod(QStringLiteral("Quit"));
    qInfo("quit in %lld ms", t.elapsed());
    QVERIFY(processGone(pid, 100));
    QCOMPARE(app->GetProperty(QStringLiteral("ProcessId")).toInt(), 0);
    app->CallMethod(QStringLiteral("Quit")); // twice is harmless
    QVERIFY(!officeChildren().contains(pid));
    // Its profile is gone.
    QCOMPARE(profiles(), before);
}

// "--hold-office": start an office, print its process id and wait to be killed.
static int holdOffice() {
    RegisterOfficeServer();
    CoInitialize();
    DispatchRef app = CreateOleObject(kProgId);
    std::cout << app->GetProperty(QStringLiteral("ProcessId")).toInt() << std::endl;
    for (;;)
        pause();
}

int main(int argc, char **argv) {
    if (argc > 1 && std::strcmp(argv[1], "--hold-office") == 0)
        return holdOffice();
    QCoreApplication app(argc, argv);
    TestOfficeServer test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

void TestOfficeServer::releasesSettle() {
    // Before a deck is closed the converter waits until the office has destroyed what was given up: a live office
    // answers at once, a dead one ends the wait at once instead of holding every close for the whole limit.
    office::OfficeProcess process;
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < 20; ++i)
        QVERIFY(office::AwaitReleases(process.Context(), std::chrono::seconds(10)));
    QVERIFY2(t.elapsed() < 5000, qPrintable(QString::number(t.elapsed())));
    process.Kill();
    QVERIFY(process.WaitDead(5000));
    t.restart();
    QVERIFY(!office::AwaitReleases(process.Context(), std::chrono::seconds(10)));
    QVERIFY2(t.elapsed() < 5000, qPrintable(QString::number(t.elapsed())));
}

#include "tst_officeserver.moc"
