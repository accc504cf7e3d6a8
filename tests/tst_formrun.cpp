#include "engine/lxBatch.h"
#include "engine/lxConvertor.h"
#include "engine/lxNode.h"
#include "engine/lxVORLANE.h"
#include "info/lxInfo.h"
#include "project/lxProject.h"
#include "ui/lxFormMain.h"
#include "ui/lxResultModel.h"

#include "FakePowerPoint.h"
#include "RecordingShell.h"
#include "ScriptedDialogs.h"
#include "TestSupport.h"
#include "GlobalObjects.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QMutex>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QWaitCondition>

#include <atomic>
#include <memory>

namespace {
// A converter that writes a small output, fails files whose name holds "bad", and can be held at a gate so a
// test decides how far a run gets.
struct Gate {
    QMutex lock;
    QWaitCondition changed;
    int allowance = -1; // files that may still start; -1 = no limit
    int waiting = 0;
    QStringList converted;
};
Gate gate;

class TestConvertor : public TlxConvertor {
public:
    using TlxConvertor::TlxConvertor;

protected:
    void ConvertNode(TlxBatch *batch, TlxNode *node) override {
        {
            QMutexLocker lock(&gate.lock);
            ++gate.waiting;
            gate.changed.wakeAll();
            while (gate.allowance == 0)
                gate.changed.wait(&gate.lock);
            if (gate.allowance > 0)
                --gate.allowance;
            --gate.waiting;
            gate.converted << node->SourceFile;
        }
        const QString output = TargetPath(batch, node);
        if (output.isEmpty())
            return;
        if (node->SourceFile.contains(QStringLiteral("bad"))) {
            node->ResultText = QStringLiteral("Cannot convert: damaged?");
            node->Status = nsFailure;
            batch->AddFailure(node->ResultText);
            return;
        }
        TestSupport::writeAll(output, "emf");
        node->ResultText = output;
        node->Status = nsSuccess;
        batch->AddSuccess();
    }
};
const TlxConvertorClassOf<TestConvertor> testClass;

void setAllowance(int allowance) {
    QMutexLocker lock(&gate.lock);
    gate.allowance = allowance;
    gate.changed.wakeAll();
}
} // namespace

// The running half of the real main window, offscreen, with a converter the test controls.
class TestFormRun : public QObject {
    Q_OBJECT

    std::unique_ptr<GlobalObjects> m_env;
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    std::unique_ptr<RecordingShell> m_shell;

    QString makeTree(int files, const QString &name = QStringLiteral("in")) {
        const QString dir = m_env->path(name);
        for (int i = 0; i < files; ++i)
            TestSupport::writeAll(dir + QStringLiteral("/deck%1.pptx").arg(i, 3, 10, QLatin1Char('0')), "x");
        TestSupport::writeAll(dir + QStringLiteral("/sub/nested.ppt"), "x");
        TestSupport::writeAll(dir + QStringLiteral("/notes.txt"), "x");
        return dir;
    }

    static bool idle(TlxFrmMain &main) { return !main.Running() && main.aConvert->isEnabled(); }

    static int rows(TlxFrmMain &main) {
        main.Results()->Flush();
        return main.Results()->rowCount();
    }

    static void searchDone(TlxFrmMain &main) {
        QTRY_VERIFY(main.FBatch && main.FBatch->Complete());
        main.Results()->Flush();
    }

private Q_SLOTS:
    void init() {
        m_env = std::make_unique<GlobalObjects>();
        m_dialogs = std::make_unique<ScriptedDialogs>();
        m_shell = std::make_unique<RecordingShell>();
        lxProject->ConverterClass = &testClass;
        QMutexLocker lock(&gate.lock);
        gate.allowance = -1;
        gate.waiting = 0;
        gate.converted.clear();
    }
    void cleanup() {
        setAllowance(-1);
        m_shell.reset();
        m_dialogs.reset();
        m_env.reset();
    }

    void searchListsTheTree() {
        TlxFrmMain main;
        const QString dir = makeTree(5);
        main.eSource->setText(dir + QStringLiteral("/*.ppt?"));
        main.cSubdir->setChecked(true);
        main.aSearch->trigger();
        searchDone(main);
        QCOMPARE(rows(main), 6);
        QCOMPARE(main.Results()->RowFile(0), dir + QStringLiteral("/deck000.pptx"));
        for (int row = 0; row < 6; ++row)
            QCOMPARE(main.Results()->RowStatus(row), 0);
        QVERIFY(gate.converted.isEmpty());
    }

    void convertFillsResultsAndSearchesAgain() {
        TlxFrmMain main;
        const QString dir = makeTree(3);
        TestSupport::writeAll(dir + QStringLiteral("/bad.pptx"), "x");
        main.eSource->setText(dir + QStringLiteral("/*.ppt?"));
        main.eTarget->setText(m_env->path(QStringLiteral("out")));
        main.aConvert->trigger();
        QVERIFY(main.Running());
        QVERIFY(!main.aSearch->isEnabled());
        QCOMPARE(main.bCreate->defaultAction(), main.aPause);
        QTRY_VERIFY(idle(main));
        QCOMPARE(main.eTarget->text(), m_env->path(QStringLiteral("out/")));
        QCOMPARE(rows(main), 4);
        QCOMPARE(main.Results()->Done(), 3);
        QCOMPARE(main.Results()->Failed(), 1);
        QCOMPARE(main.bCreate->defaultAction(), main.aConvert);
        QCOMPARE(lxInfo->StatValue(QStringLiteral("A")), QStringLiteral("4"));
        QCOMPARE(lxInfo->StatValue(QStringLiteral("F")), QStringLiteral("1"));
        // One report for the run, with the failure text once and "?" encoded.
        QCOMPARE(m_shell->targets.filter(QStringLiteral("err&e=")).size(), 1);
        QVERIFY(m_shell->targets.first().contains(QStringLiteral("damaged%3F")));

        // The used-up list is replaced by a fresh search, which sees the new file.
        TestSupport::writeAll(dir + QStringLiteral("/later.pptx"), "x");
        main.aConvert->trigger();
        QTRY_VERIFY(idle(main));
        QCOMPARE(rows(main), 5);
        QCOMPARE(gate.converted.size(), 9);
    }

    void pauseThenConvertCarriesOn() {
        TlxFrmMain main;
        const QString dir = makeTree(6);
        main.eSource->setText(dir + QStringLiteral("/*.ppt?"));
        main.eTarget->setText(m_env->path(QStringLiteral("out")));
        setAllowance(2);
        main.aConvert->trigger();
        QTRY_COMPARE(gate.converted.size(), 2);
        main.aPause->trigger();
        QVERIFY(!main.aStop->isEnabled());
        setAllowance(-1); // the worker finishes the file in hand, then ends
        QTRY_VERIFY(idle(main));
        const int done = gate.converted.size();
        QVERIFY(done >= 2 && done < 6);
        QVERIFY(main.FBatch);
        main.aConvert->trigger();
        QTRY_VERIFY(idle(main));
        QCOMPARE(rows(main), 6);
        QCOMPARE(main.Results()->Done(), 6);
        // Nothing converted twice: the second run began with the first file not handed out.
        QCOMPARE(QSet<QString>(gate.converted.begin(), gate.converted.end()).size(), 6);
        QCOMPARE(gate.converted.size(), 6);
    }

    void stopThenConvertSearchesAgain() {
        TlxFrmMain main;
        const QString dir = makeTree(4);
        main.eSource->setText(dir + QStringLiteral("/*.ppt?"));
        main.eTarget->setText(m_env->path(QStringLiteral("out")));
        setAllowance(1);
        main.aConvert->trigger();
        QTRY_COMPARE(gate.converted.size(), 1);
        main.aStop->trigger();
        setAllowance(-1);
        QTRY_VERIFY(idle(main));
        QVERIFY(!main.FBatch); // a stopped list is discarded
        QVERIFY(gate.converted.size() < 4);
        gate.converted.clear();
        main.aConvert->trigger();
        QTRY_VERIFY(idle(main));
        QCOMPARE(rows(main), 4);
        QCOMPARE(gate.converted.size(), 4);
    }

    void buttonsReturnOnlyWithTheLastWorker_data() {
        QTest::addColumn<QString>("threads");
        QTest::addColumn<int>("left");
        QTest::newRow("three") << "3" << 3;
        QTest::newRow("zero gives one worker") << "0" << 0;
        QTest::newRow("negative") << "-2" << -2;
    }
    void buttonsReturnOnlyWithTheLastWorker() {
        QFETCH(QString, threads);
        QFETCH(int, left);
        TlxFrmMain main;
        const QString dir = makeTree(8);
        lxProject->SetOption(QStringLiteral("ThreadsCount"), threads);
        main.eSource->setText(dir + QStringLiteral("/*.ppt?"));
        main.eTarget->setText(m_env->path(QStringLiteral("out")));
        QList<int> leftWhenEnabled;
        connect(main.aConvert, &QAction::changed, this, [&] {
            if (main.aConvert->isEnabled())
                leftWhenEnabled << main.FWorkersLeft;
        });
        main.aConvert->trigger();
        QCOMPARE(main.FWorkersLeft, left);
        QTRY_VERIFY(idle(main));
        QCOMPARE(leftWhenEnabled.size(), 1);
        QVERIFY(leftWhenEnabled.first() <= 0);
        QCOMPARE(gate.converted.size(), 8);
    }

    void webAddressListsOneEntry() {
        TlxFrmMain main;
        main.eSource->setText(QStringLiteral("http://decks.example/talk.pptx"));
        main.aSearch->trigger();
        QVERIFY(main.FBatch->Complete());
        QCOMPARE(rows(main), 1);
        QCOMPARE(main.Results()->RowFile(0), QStringLiteral("http://decks.example/talk.pptx"));
    }

    void emptySourceOrTargetStartsNothing() {
        TlxFrmMain main;
        main.show();
        main.aSearch->trigger();
        QVERIFY(!main.FBatch);
        main.eSource->setText(m_env->path(QStringLiteral("in/*.ppt?")));
        main.eTarget->setText(QStringLiteral("*.emf")); // cut back to nothing
        main.aConvert->trigger();
        QVERIFY(!main.Running());
        QVERIFY(main.eTarget->text().isEmpty());
        QVERIFY(gate.converted.isEmpty());
    }

    void tidyTarget_data() {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("tidy");
        QTest::newRow("mask") << "OUT/*.emf"
                              << "OUT/";
        QTest::newRow("question mark") << "OUT/a?.emf"
                                       << "OUT/";
        QTest::newRow("existing file") << "OUT/deck.emf"
                                       << "OUT/";
        QTest::newRow("existing file with slash") << "OUT/deck.emf/"
                                                  << "OUT/";
        QTest::newRow("folder unchanged") << "OUT/new/sub"
                                          << "OUT/new/sub";
        QTest::newRow("colon is a name character") << "OUT/a:b"
                                                   << "OUT/a:b";
        QTest::newRow("bare mask") << "*.emf"
                                   << "";
        QTest::newRow("wildcard folder") << "OUT/*/x"
                                         << "OUT/";
    }
    void tidyTarget() {
        QFETCH(QString, target);
        QFETCH(QString, tidy);
        const QString out = m_env->path(QStringLiteral("out"));
        TestSupport::writeAll(out + QStringLiteral("/deck.emf"), "old");
        QCOMPARE(TlxFrmMain::TidyTarget(target.replace(QStringLiteral("OUT"), out)),
                 tidy.replace(QStringLiteral("OUT"), out));
    }

    void runAndCloseWritesLogAndCloses() {
        const QString dir = makeTree(2);
        const QString log = m_env->path(QStringLiteral("run.log"));
        lxProject->SetOptions({QStringLiteral("Source=") + dir + QStringLiteral("/*.ppt?"),
                               QStringLiteral("Target=") + m_env->path(QStringLiteral("out")),
                               QStringLiteral("RunAndClose=1"), QStringLiteral("LogFile=") + log});
        TlxFrmMain main;
        main.show();
        QTRY_VERIFY(!main.isVisible());
        const QString text = QString::fromUtf8(TestSupport::readAll(log));
        QCOMPARE(text.count(QStringLiteral("\r\n")), 2);
        QVERIFY(text.startsWith(QStringLiteral("[Success] => %1/deck000.pptx => %2/deck000.emf\r\n")
                                    .arg(dir, m_env->path(QStringLiteral("out")))));
    }

    void daemonRepeatsUntilStop() {
        const QString dir = makeTree(1);
        lxProject->SetOptions({QStringLiteral("Source=") + dir + QStringLiteral("/*.ppt?"),
                               QStringLiteral("Target=") + m_env->path(QStringLiteral("out")),
                               QStringLiteral("Daemon=20")});
        TlxFrmMain main;
        main.show();
        QTRY_VERIFY(lxInfo->StatValue(QStringLiteral("C")).toInt() >= 3);
        QVERIFY(main.isVisible());                                               // a daemon never closes by itself
        lxProject->SetOption(QStringLiteral("Daemon"), QStringLiteral("60000")); // read again after each run
        QTRY_VERIFY(main.DaemonWaiting());
        // Between runs Stop is on the button row, ready to end the repetitions.
        QCOMPARE(main.bSearchConvert->defaultAction(), main.aStop);
        QVERIFY(main.aStop->isEnabled());
        main.aStop->trigger();
        QCOMPARE(main.bSearchConvert->defaultAction(), main.aSearchConvert);
        QTRY_VERIFY(idle(main) && !main.DaemonWaiting());
        const int runs = lxInfo->StatValue(QStringLiteral("C")).toInt();
        QTest::qWait(100);
        QCOMPARE(lxInfo->StatValue(QStringLiteral("C")).toInt(), runs);
    }

    void dropOnEditOrList() {
        TlxFrmMain main;
        const QStringList files = {m_env->path(QStringLiteral("d/a.pptx")), m_env->path(QStringLiteral("d/b.ppt")),
                                   m_env->path(QStringLiteral("d/c.pptx"))};
        for (const QString &f : files)
            TestSupport::writeAll(f, "x");
        main.DropFiles(main.eSource, files);
        QCOMPARE(main.eSource->text(), files.first());
        QCOMPARE(main.eTarget->text(), m_env->path(QStringLiteral("d/")));
        QCOMPARE(rows(main), 0);
        main.DropFiles(main.lViewer->viewport(), files);
        QCOMPARE(rows(main), 3);
        QCOMPARE(main.Results()->RowFile(2), files.at(2));
        main.DropFiles(main.ToolBar, {files.first()}); // not a drop target
        QCOMPARE(rows(main), 3);

        const QString project = m_env->path(QStringLiteral("p.batch-vorlane"));
        TestSupport::writeAll(project, "Source=/elsewhere/*.ppt?\r\n");
        main.DropFiles(main.lViewer->viewport(), {project, files.first()}); // two files: both listed
        QCOMPARE(rows(main), 2);
        main.DropFiles(main.eTarget, {project});
        QCOMPARE(lxProject->FileName, project);
        QCOMPARE(main.eSource->text(), QStringLiteral("/elsewhere/*.ppt?"));
        QVERIFY(main.windowTitle().endsWith(project));
    }

    void chosenFiles() {
        TlxFrmMain main;
        main.eSource->setText(QStringLiteral("/keep/*.ppt?"));
        m_dialogs->answer({QStringLiteral("/d/a.pptx"), QStringLiteral("/d/b.pptx")});
        main.bSourceFileClick();
        QCOMPARE(main.eSource->text(), QStringLiteral("/keep/*.ppt?"));
        QCOMPARE(rows(main), 2);
        m_dialogs->answer({QStringLiteral("/d/one.pptx")});
        main.BrowseFiles1->trigger();
        QCOMPARE(main.eSource->text(), QStringLiteral("/d/one.pptx"));
        QCOMPARE(rows(main), 1);
        m_dialogs->cancel();
        main.bSourceFileClick();
        QCOMPARE(rows(main), 1);
    }

    void exportAndListMenu() {
        TlxFrmMain main;
        main.DropFiles(main.lViewer, {QStringLiteral("/d/a.pptx"), QStringLiteral("http://h/x.pptx")});
        const QString log = m_env->path(QStringLiteral("export.log"));
        m_dialogs->answer({log});
        main.ExportList1->trigger();
        QCOMPARE(m_dialogs->calls.last().filter, QStringLiteral("Log File|*.log"));
        QCOMPARE(TestSupport::readAll(log),
                 QByteArray("[Running] => /d/a.pptx => \r\n[Running] => http://h/x.pptx => \r\n"));

        main.pm1Popup();
        QVERIFY(!main.OpenSource1->isEnabled());
        QVERIFY(!main.ViewSource1->isEnabled());
        main.OpenSource1Click();
        QVERIFY(m_shell->targets.isEmpty());
        main.lViewer->selectionModel()->select(main.Results()->index(1, 1),
                                               QItemSelectionModel::Select | QItemSelectionModel::Rows);
        main.pm1Popup();
        QVERIFY(main.OpenSource1->isEnabled());
        main.OpenSource1Click();
        main.ViewSource1Click();
        QCOMPARE(m_shell->targets, (QStringList{"http://h/x.pptx", "http://h/"}));

        // An empty list gives an empty file.
        main.NewBatch();
        main.SaveListToFile(log);
        QCOMPARE(TestSupport::readAll(log), QByteArray());
    }

    // Replacing the list while a run converts it: the run's batch lives on until its last worker has ended,
    // and its late rows do not land in the new list.
    void newListDuringRun() {
        TlxFrmMain main;
        const QString dir = makeTree(5);
        main.eSource->setText(dir + QStringLiteral("/*.ppt?"));
        main.eTarget->setText(m_env->path(QStringLiteral("out")));
        lxProject->SetOption(QStringLiteral("ThreadsCount"), QStringLiteral("2"));
        setAllowance(0);
        main.aConvert->trigger();
        QTRY_COMPARE(gate.waiting, 2);
        main.DropFiles(main.lViewer, {QStringLiteral("/d/new.pptx")});
        setAllowance(-1);
        QTRY_VERIFY(idle(main));
        QCOMPARE(rows(main), 1);
        QCOMPARE(main.Results()->RowStatus(0), 0);
        QCOMPARE(gate.converted.size(), 5);
        QVERIFY(main.FBatch); // the new list stays for the next Convert
    }

    void closeDuringRunWaitsForWorkers() {
        auto *main = new TlxFrmMain;
        main->setAttribute(Qt::WA_DeleteOnClose);
        QPointer<TlxFrmMain> alive(main);
        const QString dir = makeTree(3);
        main->eSource->setText(dir + QStringLiteral("/*.ppt?"));
        main->eTarget->setText(m_env->path(QStringLiteral("out")));
        main->show();
        setAllowance(0);
        main->aConvert->trigger();
        QTRY_COMPARE(gate.waiting, 1);
        main->close();
        QVERIFY(alive); // still there: its worker is busy
        setAllowance(-1);
        QTRY_VERIFY(!alive);
        QVERIFY(gate.converted.size() <= 2);
    }

    // The real converter class against the scriptable application.
    void convertsThroughTheApplication() {
        FakePowerPoint::Install();
        lxProject->ConverterClass = TlxVORLANE::Class();
        {
            TlxFrmMain main;
            const QString dir = makeTree(2);
            main.eSource->setText(dir + QStringLiteral("/*.ppt?"));
            main.eTarget->setText(m_env->path(QStringLiteral("out")));
            main.aConvert->trigger();
            QTRY_VERIFY(idle(main));
            QCOMPARE(main.Results()->Done(), 2);
            QCOMPARE(main.Results()->RowResult(1), m_env->path(QStringLiteral("out/deck001.emf")));
        }
        QCOMPARE(FakePowerPoint::Log().filter(QStringLiteral("SaveAs")).size(), 2);
        QCOMPARE(FakePowerPoint::Log().last(), QStringLiteral("Quit"));
        FakePowerPoint::Uninstall();
    }
};

QTEST_MAIN(TestFormRun)
#include "tst_formrun.moc"
