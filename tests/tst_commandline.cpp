// The command line's option form: what each option sets, what is refused and why, which arguments still take the
// older forms, and the usage text, man page and shell completion all naming every option of the one table.
#include "TestSupport.h"
#include "project/lxCommandLine.h"
#include "project/lxStartup.h"

#include <QtTest>

class TestCommandLine : public QObject {
    Q_OBJECT
private slots:
    void parse_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("settings"); // "Key=Value" in order; for a refusal, the error's start
        QTest::addColumn<QStringList>("sources");
        QTest::addColumn<QString>("error");
        using L = QStringList;
        QTest::newRow("short with values")
            << L{"-f", "svg", "-j2", "-o", "out", "a.pptx", "dir"} << L{"Format=svg", "ThreadsCount=2", "Target=out"}
            << L{"a.pptx", "dir"} << QString();
        QTest::newRow("long with =") << L{"--target=/o", "--slides=2-4", "--image-resolution", "0", "--png-width=800"}
                                     << L{"Target=/o", "Slides=2-4", "ImageResolution=0", "PngWidth=800"} << L{}
                                     << QString();
        QTest::newRow("flags") << L{"-r", "--flat", "--keep-time", "--delete-source", "--newer"}
                               << L{"Subdir=True", "KeepTargetSubdirs=False", "KeepFileTime=True", "DeleteSource=True",
                                    "IsOverwrite=newer"}
                               << L{} << QString();
        QTest::newRow("overwrite choices, last wins")
            << L{"--keep", "--skip", "--overwrite"} << L{"IsOverwrite=False", "IsOverwrite=skip", "IsOverwrite=True"}
            << L{} << QString();
        QTest::newRow("bundled flags") << L{"-rq", "x"} << L{"Subdir=True"} << L{"x"} << QString();
        QTest::newRow("values kept as given")
            << L{"--rename-source", ".done", "--timeout", "0", "--shard", "2/3", "--log", "run.log", "--regex", "a|b"}
            << L{"RenameSource=.done", "Timeout=0", "Shard=2/3", "LogFile=run.log", "RegExt=a|b"} << L{} << QString();
        QTest::newRow("after -- all are sources")
            << L{"-o", "o", "--", "-r", "--odd.pptx"} << L{"Target=o"} << L{"-r", "--odd.pptx"} << QString();
        QTest::newRow("unknown long") << L{"--fromat", "svg"} << L{} << L{} << "--fromat: unknown option";
        QTest::newRow("unknown short") << L{"-x"} << L{} << L{} << "-x: unknown option";
        QTest::newRow("unknown in a bundle") << L{"-rz"} << L{} << L{} << "-z: unknown option";
        QTest::newRow("value in a bundle") << L{"-ro"} << L{} << L{} << "-o: needs a value of its own";
        QTest::newRow("value missing") << L{"-o", "out", "--format"} << L{} << L{} << "--format: needs a value";
        QTest::newRow("flag with a value") << L{"--recursive=yes"} << L{} << L{} << "--recursive: takes no value";
        QTest::newRow("format") << L{"-f", "tiff"} << L{} << L{} << "-f: \"tiff\"";
        QTest::newRow("slides") << L{"--slides", "4-2"} << L{} << L{} << "--slides: \"4-2\"";
        QTest::newRow("jobs") << L{"-j", "0"} << L{} << L{} << "-j: \"0\" is not a number of workers";
        QTest::newRow("timeout") << L{"--timeout=soon"} << L{} << L{} << "--timeout: \"soon\" is not a number";
        QTest::newRow("png width") << L{"--png-width", "-5"} << L{} << L{} << "--png-width: \"-5\"";
        QTest::newRow("shard") << L{"--shard", "4/3"} << L{} << L{} << "--shard: \"4/3\"";
        QTest::newRow("empty target") << L{"--target="} << L{} << L{} << "--target: \"\" is empty";
    }
    void parse() {
        QFETCH(QStringList, args);
        QFETCH(QStringList, settings);
        QFETCH(QStringList, sources);
        QFETCH(QString, error);
        TlxCommandLine line;
        const bool ok = line.Parse(args);
        QCOMPARE(ok, error.isEmpty());
        if (!ok) {
            QVERIFY2(line.Error.startsWith(error), qPrintable(line.Error));
            return;
        }
        QCOMPARE(line.Settings, settings);
        QCOMPARE(line.Sources, sources);
    }

    void ownOptions() {
        TlxCommandLine line;
        QVERIFY(line.Parse({"-p", "base.batch-vorlane", "--mask", "*.odp", "--json", "-q", "in"}));
        QCOMPARE(line.Project, QStringLiteral("base.batch-vorlane"));
        QCOMPARE(line.Mask, QStringLiteral("*.odp"));
        QVERIFY(line.Json && line.Quiet && !line.Help);
        QVERIFY(line.Settings.isEmpty()); // none of these is a project option
    }

    void newFormOrOlder_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("newForm");
        using L = QStringList;
        QTest::newRow("-P: options") << L{"-P:Source=/in/*.ppt?;Target=/out;PureConsole=1"} << false;
        QTest::newRow("-p with options") << L{"-pSource=/in/*.ppt?,Target=/out"} << false;
        QTest::newRow("-I with text") << L{"-Ifoo"} << false;
        QTest::newRow("-u") << L{"-u"} << false;
        QTest::newRow("a project") << L{"job.batch-vorlane"} << false;
        QTest::newRow("one presentation") << L{"/data/talk.pptx"} << false;
        QTest::newRow("nothing") << L{} << false;
        QTest::newRow("help alone") << L{"--help"} << false;
        QTest::newRow("-o") << L{"-o", "out", "talk.pptx"} << true;
        QTest::newRow("long option last") << L{"talk.pptx", "--target=out"} << true;
        QTest::newRow("-p FILE") << L{"-p", "job.batch-vorlane", "in"} << true;
        QTest::newRow("-rq") << L{"-rq"} << true;
    }
    void newFormOrOlder() {
        QFETCH(QStringList, args);
        QFETCH(bool, newForm);
        QCOMPARE(TlxCommandLine::IsNewForm(args), newForm);
    }

    // Help, man page and completion come from, or are checked against, the one table.
    void everyOptionDocumented() {
        const QString usage = UsageText(); // what --help prints
        const QString man =
            QString::fromUtf8(TestSupport::readAll(QStringLiteral(VORLANE_SOURCE_DIR "/docs/vorlane.1")))
                .replace(QStringLiteral("\\-"), QStringLiteral("-"));
        const QString completion = QString::fromUtf8(
            TestSupport::readAll(QStringLiteral(VORLANE_SOURCE_DIR "/packaging/vorlane.bash-completion")));
        QVERIFY(!man.isEmpty() && !completion.isEmpty());
        for (const TlxCommandLine::Option &o : TlxCommandLine::Options()) {
            const QString name = QLatin1String(o.longName);
            QVERIFY2(usage.contains(name + u' ') || usage.contains(name + u'\n'), qPrintable(name));
            if (name != QLatin1String("--help") && name != QLatin1String("--version"))
                QVERIFY2(man.contains(name), qPrintable(name + QStringLiteral(" is not in the man page")));
            // An option that takes a value must not be completed with file names of presentations.
            if (o.argument)
                QVERIFY2(completion.contains(name + u' ') || completion.contains(name + u')'),
                         qPrintable(name + QStringLiteral(" is not in the completion's value list")));
        }
        QVERIFY(usage.indexOf(QLatin1String("-o TARGET SOURCE")) < usage.indexOf(QLatin1String("-P:")));
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
