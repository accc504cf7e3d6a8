#include "GlobalObjects.h"
#include "FakePowerPoint.h"
#include "TestSupport.h"
#include "engine/lxBatch.h"
#include "engine/lxPowerPointOle.h"
#include "engine/lxVORLANE.h"
#include "info/lxInfo.h"
#include "project/lxProject.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <memory>

using automation::Variant;

class TestPowerPointOle : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void callOrderAndArguments();
    void parseVersion_data();
    void parseVersion();
    void skippedFileStartsNothing();
    void readOnlyPassed_data();
    void readOnlyPassed();
    void overwriteKeepsTheOldOutputUntilTheNewIsWritten();
    void failedSaveLeavesSource_data();
    void failedSaveLeavesSource();
    void creationFailureFailsEveryFile();
    void openFailureOnlyFailsThatFile();
    void versionFailureSkipsSetup();
    void workersOwnTheirApplication();

private:
    // Runs the files through a chain of workers of the converter class and waits until every worker has ended.
    void run(const QStringList &files);
    QString source(const QString &name, const QByteArray &data = "deck");
    TlxNode *node(int i) {
        TlxNode *n = m_batch->LockNodes().at(i);
        m_batch->UnlockNodes();
        return n;
    }
    QString out(const QString &name) const { return m_dir.filePath(QStringLiteral("out/") + name); }

    QTemporaryDir m_dir;
    TlxBatch *m_batch = nullptr;
    std::unique_ptr<GlobalObjects> m_globals;
};

void TestPowerPointOle::initTestCase() {
    m_globals = std::make_unique<GlobalObjects>();
    QVERIFY(m_dir.isValid());
}

void TestPowerPointOle::cleanupTestCase() {
    m_globals.reset();
}

void TestPowerPointOle::init() {
    lxProject->SetOptions({});
    lxProject->TargetExt = QStringLiteral(".emf");
    lxProject->ShortName = QStringLiteral("vorlane");
    QDir(m_dir.path()).removeRecursively();
    QDir().mkpath(m_dir.filePath(QStringLiteral("in")));
    QDir().mkpath(m_dir.filePath(QStringLiteral("out")));
    FakePowerPoint::Install();
    m_batch = new TlxBatch;
}

void TestPowerPointOle::cleanup() {
    delete m_batch;
    m_batch = nullptr;
    FakePowerPoint::Uninstall();
}

QString TestPowerPointOle::source(const QString &name, const QByteArray &data) {
    const QString path = m_dir.filePath(QStringLiteral("in/") + name);
    TestSupport::writeAll(path, data);
    return path;
}

void TestPowerPointOle::run(const QStringList &files) {
    for (qsizetype i = 0; i + 1 < files.size(); ++i)
        m_batch->AddFile(files.at(i));
    m_batch->AddFileAndComplete(files.last());
    std::shared_ptr<TlxConvertor> head =
        TlxConvertor::CreateWorkers(m_batch, m_dir.filePath(QStringLiteral("out/")), [](TlxBatch *, TlxNode *) {});
    head->StartAll();
    QElapsedTimer t;
    t.start();
    for (TlxConvertor *w = head.get(); w; w = w->NextWorker().get())
        while (!w->Ended()) {
            QVERIFY2(t.elapsed() < 20000, "workers did not end");
            QThread::msleep(2);
        }
}

void TestPowerPointOle::callOrderAndArguments() {
    const QString src = source(QStringLiteral("talk.pptx"));
    run({src});
    const QStringList expected = {
        "Create",
        "Get Version",
        "Put Visible true",
        "Put WindowState 2",
        "Put DisplayAlerts 1",
        "Put Timeout 120",
        "Get Presentations",
        QStringLiteral("Open \"%1\" false").arg(src),
        // The output options travel with the call: the application never reads the project.
        QStringLiteral("SaveAs \"%1\" 23 \"Format=emf;Slides=all;ImageResolution=220;PngWidth=1920\"")
            .arg(out("talk.emf")),
        "Close",
        "Quit",
    };
    QCOMPARE(FakePowerPoint::Log(), expected);
    // Every call on the worker's own thread.
    const QList<FakePowerPoint::Call> calls = FakePowerPoint::Calls();
    for (const FakePowerPoint::Call &c : calls) {
        QCOMPARE(c.thread, calls.first().thread);
        QVERIFY(c.thread != QThread::currentThread());
    }
    QCOMPARE(node(0)->Status, qint32(nsSuccess));
    QCOMPARE(node(0)->ResultText, out("talk.emf"));
    QCOMPARE(m_batch->Successes(), 1);
    QCOMPARE(lxInfo->StatValue(QStringLiteral("W")), QStringLiteral("16"));
}

void TestPowerPointOle::parseVersion_data() {
    QTest::addColumn<Variant>("value");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<int>("expected");
    QTest::newRow("16.0 text") << Variant(QStringLiteral("16.0")) << "C" << 16;
    QTest::newRow("16.0 number") << Variant(16.0) << "C" << 16;
    QTest::newRow("9.0") << Variant(QStringLiteral("9.0")) << "C" << 9;
    QTest::newRow("integer") << Variant(15) << "C" << 15;
    QTest::newRow("LibreOffice 7.4") << Variant(QStringLiteral("7.4")) << "C" << 7;
    QTest::newRow("LibreOffice 25.2") << Variant(QStringLiteral("25.2")) << "C" << 25;
    QTest::newRow("LibreOffice 26.8 rounds up") << Variant(QStringLiteral("26.8")) << "C" << 27;
    QTest::newRow("78 and above divided") << Variant(QStringLiteral("160")) << "C" << 16;
    QTest::newRow("77 kept") << Variant(77) << "C" << 77;
    QTest::newRow("not a number") << Variant(QStringLiteral("abc")) << "C" << 0;
    QTest::newRow("empty text") << Variant(QString()) << "C" << 0;
    QTest::newRow("three parts") << Variant(QStringLiteral("16.0.4266")) << "C" << 0;
    QTest::newRow("two parts, no number") << Variant(QStringLiteral("16.x")) << "C" << 0;
    // Where "." is no decimal point, the text path reads 16.0 as 160 and brings it back to 16, but 7.0 stays 70.
    QTest::newRow("comma locale 16.0") << Variant(QStringLiteral("16.0")) << "de_DE" << 16;
    QTest::newRow("comma locale 7.0") << Variant(QStringLiteral("7.0")) << "de_DE" << 70;
    QTest::newRow("comma locale 16,0") << Variant(QStringLiteral("16,0")) << "de_DE" << 16;
}

void TestPowerPointOle::parseVersion() {
    QFETCH(Variant, value);
    QFETCH(QString, locale);
    QFETCH(int, expected);
    const QLocale before;
    QLocale::setDefault(QLocale(locale));
    const int result = ParseVersion(value);
    QLocale::setDefault(before);
    QCOMPARE(result, expected);
}

void TestPowerPointOle::skippedFileStartsNothing() {
    lxProject->SetOption(QStringLiteral("IsOverwrite"), QStringLiteral("SKIP"));
    TestSupport::writeAll(out("a.emf"), "old");
    TestSupport::writeAll(out("b.emf"), "old");
    run({source(QStringLiteral("a.ppt")), source(QStringLiteral("b.pptx"))});
    QCOMPARE(FakePowerPoint::Log(), QStringList()); // neither created nor quit
    for (int i = 0; i < 2; ++i) {
        QCOMPARE(node(i)->Status, qint32(nsSuccess));
        QCOMPARE(node(i)->ResultText, QString());
    }
    QCOMPARE(m_batch->Successes(), 0);
    QCOMPARE(TestSupport::readAll(out("a.emf")), QByteArray("old"));
}

void TestPowerPointOle::readOnlyPassed_data() {
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("passed");
    QTest::newRow("true") << "True"
                          << "true";
    QTest::newRow("1") << "1"
                       << "true";
    QTest::newRow("false") << "false"
                           << "false";
    QTest::newRow("not a boolean") << "maybe"
                                   << "false";
}

void TestPowerPointOle::readOnlyPassed() {
    QFETCH(QString, option);
    QFETCH(QString, passed);
    lxProject->SetOption(QStringLiteral("ReadOnly"), option);
    const QString src = source(QStringLiteral("ro.pptx"));
    run({src});
    QVERIFY(FakePowerPoint::Log().contains(QStringLiteral("Open \"%1\" %2").arg(src, passed)));
    QCOMPARE(node(0)->Status, qint32(nsSuccess));
    QVERIFY(QFileInfo::exists(out("ro.emf")));
}

void TestPowerPointOle::overwriteKeepsTheOldOutputUntilTheNewIsWritten() {
    lxProject->SetOption(QStringLiteral("IsOverwrite"), QStringLiteral("true"));
    // The deck had three slides when it was converted last; the application writes one now.
    for (const char *name : {"talk.emf", "talk-2.emf", "talk-3.emf"})
        TestSupport::writeAll(out(QLatin1String(name)), "old output");
    FakePowerPoint::script().watchPath = out("talk.emf");
    FakePowerPoint::script().failSaveAs = {out("talk.emf")};
    run({source(QStringLiteral("talk.ppt"))});
    QCOMPARE(node(0)->Status, qint32(nsFailure));
    // A failed save leaves the last good conversion whole.
    for (const char *name : {"talk.emf", "talk-2.emf", "talk-3.emf"})
        QCOMPARE(TestSupport::readAll(out(QLatin1String(name))), QByteArray("old output"));

    FakePowerPoint::script().failSaveAs.clear();
    delete m_batch;
    m_batch = new TlxBatch;
    run({source(QStringLiteral("talk.ppt"))});
    QCOMPARE(node(0)->Status, qint32(nsSuccess));
    bool sawSave = false;
    for (const FakePowerPoint::Call &c : FakePowerPoint::Calls())
        if (c.text.startsWith(QLatin1String("SaveAs")))
            sawSave = c.watchedExisted; // the old output was still there while saving
    QVERIFY(sawSave);
    QVERIFY(TestSupport::readAll(out("talk.emf")).startsWith("EMF of"));
    // The slides the deck no longer has are gone.
    QVERIFY(!QFileInfo::exists(out("talk-2.emf")));
    QVERIFY(!QFileInfo::exists(out("talk-3.emf")));
}

void TestPowerPointOle::failedSaveLeavesSource_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::newRow("DeleteSource") << "DeleteSource"
                                  << "true";
    QTest::newRow("RenameSource") << "RenameSource"
                                  << ".done";
}

void TestPowerPointOle::failedSaveLeavesSource() {
    QFETCH(QString, key);
    QFETCH(QString, value);
    lxProject->SetOption(key, value);
    const QString src = source(QStringLiteral("keep.pptx"));
    FakePowerPoint::script().failSaveAs.insert(out("keep.emf"));
    run({src});
    QCOMPARE(node(0)->Status, qint32(nsFailure));
    QCOMPARE(node(0)->ResultText, QStringLiteral("Cannot save %1").arg(out("keep.emf")));
    QCOMPARE(m_batch->FailedTexts(), QStringList{node(0)->ResultText});
    QVERIFY(QFileInfo::exists(src));
    QVERIFY(!QFileInfo::exists(src + value));
    const QStringList log = FakePowerPoint::Log();
    QCOMPARE(log.mid(log.size() - 3), (QStringList{log.at(log.size() - 3), "Close", "Quit"}));
    QVERIFY(log.at(log.size() - 3).startsWith(QLatin1String("SaveAs")));
}

void TestPowerPointOle::creationFailureFailsEveryFile() {
    FakePowerPoint::script().failCreate = true;
    run({source(QStringLiteral("1.ppt")), source(QStringLiteral("2.ppt")), source(QStringLiteral("3.ppt"))});
    const QString text = QStringLiteral("Server execution failed, ProgID: \"PowerPoint.Application\"");
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(node(i)->Status, qint32(nsFailure));
        QCOMPARE(node(i)->ResultText, text);
    }
    QCOMPARE(m_batch->Failures(), 3);
    QCOMPARE(m_batch->FailedTexts(), QStringList{text});
    // Each file tries again; nothing to quit.
    QCOMPARE(FakePowerPoint::Log(), (QStringList{"Create", "Create", "Create"}));
}

void TestPowerPointOle::openFailureOnlyFailsThatFile() {
    const QString a = source(QStringLiteral("a.ppt")), b = source(QStringLiteral("b.ppt")),
                  c = source(QStringLiteral("c.ppt"));
    FakePowerPoint::script().failOpen.insert(b);
    FakePowerPoint::script().failClose = true; // ignored
    FakePowerPoint::script().failQuit = true;  // ignored
    run({a, b, c});
    QCOMPARE(node(0)->Status, qint32(nsSuccess));
    QCOMPARE(node(1)->Status, qint32(nsFailure));
    QCOMPARE(node(1)->ResultText, QStringLiteral("Cannot open %1").arg(b));
    QCOMPARE(node(2)->Status, qint32(nsSuccess));
    const QStringList log = FakePowerPoint::Log();
    QCOMPARE(log.count(QStringLiteral("Create")), 1);
    QCOMPARE(log.count(QStringLiteral("Close")), 2);
    QCOMPARE(log.last(), QStringLiteral("Quit"));
}

void TestPowerPointOle::versionFailureSkipsSetup() {
    lxInfo->UpdateStat(QStringLiteral("W"), 3, 0);
    FakePowerPoint::script().failVersion = true;
    run({source(QStringLiteral("v.pptx"))});
    const QStringList log = FakePowerPoint::Log();
    QCOMPARE(log.mid(0, 3), (QStringList{"Create", "Get Version", "Put DisplayAlerts 1"}));
    QCOMPARE(node(0)->Status, qint32(nsSuccess));
    QCOMPARE(lxInfo->StatValue(QStringLiteral("W")), QStringLiteral("3")); // no statistic sent
}

void TestPowerPointOle::workersOwnTheirApplication() {
    lxProject->SetOption(QStringLiteral("ThreadsCount"), QStringLiteral("2"));
    QStringList files;
    for (int i = 0; i < 12; ++i)
        files << source(QStringLiteral("deck%1.pptx").arg(i));
    run(files);
    QCOMPARE(m_batch->Successes(), 12);
    const QList<FakePowerPoint::Call> calls = FakePowerPoint::Calls();
    QHash<int, QThread *> threadOf;
    QHash<int, int> quits;
    for (const FakePowerPoint::Call &c : calls) {
        QVERIFY(c.app > 0);
        if (!threadOf.contains(c.app))
            threadOf.insert(c.app, c.thread);
        QCOMPARE(c.thread, threadOf.value(c.app)); // never another thread's application
        if (c.text == QLatin1String("Quit"))
            ++quits[c.app];
    }
    QCOMPARE(FakePowerPoint::Created(), threadOf.size());
    QVERIFY(threadOf.size() >= 1 && threadOf.size() <= 2);
    for (int app : threadOf.keys())
        QCOMPARE(quits.value(app), 1);
    for (int i = 0; i < 12; ++i)
        QVERIFY(QFileInfo::exists(out(QStringLiteral("deck%1.emf").arg(i))));
}

QTEST_GUILESS_MAIN(TestPowerPointOle)
#include "tst_powerpointole.moc"
