#include "engine/lxNode.h"
#include "GlobalObjects.h"
#include "info/lxInfo.h"
#include "project/lxApp.h"
#include "project/lxMain.h"
#include "project/lxProject.h"
#include "project/lxStartup.h"

#include "RecordingShell.h"
#include "TestSupport.h"

#include <QTemporaryDir>
#include <QTest>

#include <memory>

// Start-up's reading of the command line and the console run's texts.
class TestStartup : public QObject {
    Q_OBJECT

    std::unique_ptr<GlobalObjects> m_env;
    std::unique_ptr<RecordingShell> m_shell;

    void startWith(const QString &commandLineTail) {
        m_env.reset();
        m_env = std::make_unique<GlobalObjects>(commandLineTail);
    }
    void stop() { m_env.reset(); }
    // The program's folder, where its default project lives.
    QString besideProgram(const QString &name) const { return m_env->path(QStringLiteral("bin/") + name); }

private Q_SLOTS:
    void init() {
        m_shell = std::make_unique<RecordingShell>();
    }
    void cleanup() {
        stop();
        m_shell.reset();
    }

    void commandLine_data() {
        QTest::addColumn<QString>("param");
        QTest::addColumn<bool>("goesOn");
        QTest::addColumn<QString>("options");  // the option list after start-up, joined by "|"
        QTest::addColumn<QString>("fileName"); // relative to the program folder, "" for none
        QTest::newRow("P with colon") << "-P:Source=/in/*.ppt?;Target=/out" << true << "Source=/in/*.ppt?|Target=/out"
                                      << "";
        QTest::newRow("p with comma") << "-pSource=/in/*.ppt?,Target=/out" << true << "Source=/in/*.ppt?|Target=/out"
                                      << "";
        QTest::newRow("three options") << "-p:a=1,b=2;c=3" << true << "a=1|b=2|c=3"
                                       << "";
        QTest::newRow("auto target from source")
            << "-P:Source=/in/x/*.ppt?" << true << "Source=/in/x/*.ppt?|Target=/in/x/"
            << "";
        QTest::newRow("P with nothing") << "-P" << true << "Default=1"
                                        << "vorlane.batch-vorlane";
        QTest::newRow("unknown switch") << "-x" << true << "Default=1"
                                        << "vorlane.batch-vorlane";
        QTest::newRow("one character") << "x" << true << "Default=1"
                                       << "vorlane.batch-vorlane";
        QTest::newRow("absolute path is a file") << "/decks/a.pptx" << true << "Source=/decks/a.pptx|Target=/decks/"
                                                 << "";
        QTest::newRow("U ends") << "-U" << false << ""
                                << "";
        QTest::newRow("u ends") << "-u" << false << ""
                                << "";
    }
    void commandLine() {
        QFETCH(QString, param);
        QFETCH(bool, goesOn);
        QFETCH(QString, options);
        QFETCH(QString, fileName);
        startWith(u'"' + param + u'"');
        QVERIFY(TestSupport::writeAll(besideProgram(QStringLiteral("vorlane.batch-vorlane")), "Default=1\r\n"));
        QCOMPARE(lxProject->ReadCommandLine(), goesOn);
        if (!goesOn)
            return;
        QCOMPARE(lxProject->Options().join(u'|'), options);
        QCOMPARE(lxProject->FileName, fileName.isEmpty() ? QString() : besideProgram(fileName));
    }

    void switchLinks() {
        startWith(QStringLiteral("-U"));
        QVERIFY(!lxProject->ReadCommandLine());
        QCOMPARE(m_shell->targets.size(), 1);
        QVERIFY(m_shell->targets.first().contains(QStringLiteral("a=uni")));
        stop();
        startWith(QStringLiteral("-Ilang=de"));
        QVERIFY(!lxProject->ReadCommandLine());
        QCOMPARE(m_shell->targets.size(), 2);
        QVERIFY(m_shell->targets.last().contains(QStringLiteral("a=ins")));
        QVERIFY(m_shell->targets.last().endsWith(QStringLiteral("&lang=de")));
    }

    void consoleChoice_data() {
        QTest::addColumn<QString>("options");
        QTest::addColumn<bool>("console");
        QTest::newRow("pure console") << "PureConsole=1;Source=/in/*.ppt?" << true;
        QTest::newRow("web source") << "PureConsole=1;Source=http://host/a.pptx" << false;
        QTest::newRow("capital HTTP is no web address") << "PureConsole=1;Source=HTTP://host/a.pptx" << true;
        QTest::newRow("windowed") << "Source=/in/*.ppt?" << false;
    }
    void consoleChoice() {
        QFETCH(QString, options);
        QFETCH(bool, console);
        startWith(QString());
        lxProject->SetOptions(options.split(u';'));
        QCOMPARE(WantsConsoleRun(), console);
    }

    void logLine_data() {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QString>("line");
        QTest::newRow("success") << 1 << "/out/a.emf"
                                 << "Success => /in/a.pptx => /out/a.emf";
        QTest::newRow("failure") << 2 << "Cannot open"
                                 << "Failure => /in/a.pptx => Cannot open";
        QTest::newRow("skipped") << 1 << ""
                                 << "Success => /in/a.pptx => ";
        QTest::newRow("unknown status") << 7 << ""
                                        << "Running => /in/a.pptx => ";
    }
    void logLine() {
        QFETCH(int, status);
        QFETCH(QString, result);
        QFETCH(QString, line);
        TlxNode node;
        node.Status = status;
        node.SourceFile = QStringLiteral("/in/a.pptx");
        node.ResultText = result;
        QCOMPARE(TlxMain::LogLine(node), line);
    }

    void failedTexts_data() {
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QString>("param");
        QTest::newRow("plain") << QStringList{"a", "b"} << "a,b";
        QTest::newRow("blank quoted") << QStringList{"no slides"} << "\"no slides\"";
        QTest::newRow("quote doubled") << QStringList{"say \"hi\""} << "\"say \"\"hi\"\"\"";
        QTest::newRow("comma quoted") << QStringList{"a,b", "c"} << "\"a,b\",c";
        QTest::newRow("question mark") << QStringList{"why?"} << "why%3F";
        QTest::newRow("control char") << QStringList{"a\tb"} << "\"a\tb\"";
    }
    void failedTexts() {
        QFETCH(QStringList, texts);
        QFETCH(QString, param);
        QCOMPARE(TlxMain::FailedTextsParam(texts), param);
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
