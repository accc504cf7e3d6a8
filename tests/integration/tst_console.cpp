#include "TestSupport.h"

#include "base/lxFileName.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// Runs the built program as a user would: from its own folder (so counters, default project and recent list are
// private to the test), with a recording xdg-open on PATH and a display variable set so report links are sent.
class TestConsole : public QObject {
    Q_OBJECT

    struct Result {
        int exitCode = -1;
        QString out, err;
    };

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_program;

    QString path(const QString &name) const { return m_dir->filePath(name); }

    Result run(const QString &param, int timeoutMs = 240000, bool withDisplay = true) {
        return runArgs(param.isNull() ? QStringList() : QStringList{param}, timeoutMs, withDisplay);
    }
    Result runArgs(const QStringList &args, int timeoutMs = 240000, bool withDisplay = true) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PATH"), path(QStringLiteral("fakebin")) + u':' + env.value(QStringLiteral("PATH")));
        env.insert(QStringLiteral("DISPLAY"), QStringLiteral(":99"));
        if (!withDisplay) {
            env.remove(QStringLiteral("DISPLAY"));
            env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        }
        env.insert(QStringLiteral("XDG_OPEN_LOG"), path(QStringLiteral("links.txt")));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        process.setProcessEnvironment(env);
        process.start(m_program, args);
        Result r;
        if (!process.waitForFinished(timeoutMs)) {
            process.kill();
            process.waitForFinished();
            return r;
        }
        r.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
        r.out = QString::fromUtf8(process.readAllStandardOutput());
        r.err = QString::fromUtf8(process.readAllStandardError());
        return r;
    }

    QStringList links() const {
        // The opener is started detached: give it a moment to write.
        QStringList lines;
        for (int i = 0; i < 50; ++i) {
            lines = QString::fromUtf8(TestSupport::readAll(path(QStringLiteral("links.txt"))))
                        .split(u'\n', Qt::SkipEmptyParts);
            if (!lines.isEmpty())
                break;
            QTest::qWait(20);
        }
        return lines;
    }

    QString counter(const QString &key) const {
        // The counters file holds UTF-16 LE text, one name=value per line.
        const QByteArray data = TestSupport::readAll(path(QStringLiteral("bin/vorlane.ext")));
        const QString text = QString::fromUtf16(reinterpret_cast<const char16_t *>(data.constData()), data.size() / 2);
        for (const QString &line : text.split(QRegularExpression(QStringLiteral("[\r\n]+")), Qt::SkipEmptyParts)) {
            if (line.startsWith(key + u'='))
                return line.mid(key.size() + 1);
        }
        return {};
    }

    // A source folder holding the two sample decks and, optionally, a broken file twice.
    QString makeSource(const QString &name, bool withBroken) {
        const QString dir = path(name);
        QDir().mkpath(dir);
        const QString samples = QStringLiteral(VORLANE_BINARY_DIR "/samples/");
        QFile::copy(samples + QStringLiteral("quarterly-report.pptx"), dir + QStringLiteral("/quarterly-report.pptx"));
        QFile::copy(samples + QStringLiteral("shapes.ppt"), dir + QStringLiteral("/shapes.ppt"));
        if (withBroken) {
            TestSupport::writeAll(dir + QStringLiteral("/broken-one.pptx"), QByteArray(3000, 'x'));
            TestSupport::writeAll(dir + QStringLiteral("/broken-two.pptx"), QByteArray(3000, 'y'));
        }
        return dir;
    }

private Q_SLOTS:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        QDir().mkpath(path(QStringLiteral("bin")));
        QDir().mkpath(path(QStringLiteral("fakebin")));
        m_program = path(QStringLiteral("bin/vorlane"));
        QVERIFY(QFile::copy(QStringLiteral(VORLANE_BINARY_DIR "/src/vorlane"), m_program));
        const QString opener = path(QStringLiteral("fakebin/xdg-open"));
        QVERIFY(TestSupport::writeAll(opener, "#!/bin/sh\nprintf '%s\\n' \"$1\" >> \"$XDG_OPEN_LOG\"\n"));
        QFile::setPermissions(opener, QFile::permissions(opener) | QFileDevice::ExeOwner);
    }
    void cleanup() {
        TestSupport::removeAll(m_dir->path());
        m_dir.reset();
    }

    void convertsWithoutProjectOrWindow_data() {
        QTest::addColumn<QString>("form");
        QTest::newRow("-P: with ;") << "-P:Source=%1/*.ppt?;Target=%2;PureConsole=1";
        QTest::newRow("-p with ,") << "-pSource=%1/*.ppt?,Target=%2,PureConsole=1,ThreadsCount=3";
        QTest::newRow("no workers asked") << "-P:Source=%1/*.ppt?;Target=%2;PureConsole=1;ThreadsCount=0";
    }
    void convertsWithoutProjectOrWindow() {
        QFETCH(QString, form);
        const QString source = makeSource(QStringLiteral("in"), false);
        const QString out = path(QStringLiteral("out"));
        const Result r = run(form.arg(source, out));
        QCOMPARE(r.exitCode, 0);
        for (const char *name :
             {"quarterly-report.emf", "quarterly-report-2.emf", "quarterly-report-3.emf", "shapes.emf"})
            QVERIFY2(QFileInfo(out + u'/' + QLatin1String(name)).size() > 0,
                     qPrintable(QLatin1String(name) + r.out + r.err));
        QVERIFY(r.out.contains(QStringLiteral("Success => %1/shapes.ppt => %2/shapes.emf").arg(source, out)));
        QVERIFY(!QFile::exists(path(QStringLiteral("bin/vorlane.batch-vorlane"))));
        QCOMPARE(counter(QStringLiteral("C")), QStringLiteral("1"));
        QCOMPARE(counter(QStringLiteral("A")), QStringLiteral("2"));
        QCOMPARE(counter(QStringLiteral("S")), QStringLiteral("2"));
        QVERIFY(links().isEmpty()); // nothing failed: no report
    }

    void failuresAreLoggedAndReportedOnce() {
        const QString source = makeSource(QStringLiteral("in"), true);
        const QString out = path(QStringLiteral("out"));
        const QString log = path(QStringLiteral("logs/run.log"));
        QDir().mkpath(path(QStringLiteral("logs")));
        const Result r = run(QStringLiteral("-P:Source=%1/*.ppt?;Target=%2;PureConsole=1;LogFile=%3;ThreadsCount=2")
                                 .arg(source, out, log));
        QCOMPARE(r.exitCode, 0);
        const QStringList lines = QString::fromUtf8(TestSupport::readAll(log)).split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), 5); // four files and the final line end
        QCOMPARE(lines.filter(QStringLiteral("Failure => ")).size(), 2);
        const QString failure = lines.filter(QStringLiteral("broken-one")).value(0);
        const QString message = failure.section(QStringLiteral(" => "), 2);
        QVERIFY2(!message.isEmpty(), qPrintable(failure));
        QCOMPARE(counter(QStringLiteral("F")), QStringLiteral("2"));
        const QStringList sent = links();
        QCOMPARE(sent.size(), 1);
        QVERIFY2(sent.first().contains(QStringLiteral("a=err&e=")), qPrintable(sent.first()));
        // Both broken files fail with a message naming their file, so each is sent; neither twice.
        QCOMPARE(sent.first().count(QStringLiteral("broken-one")), 1);
    }

    void skippedFileHasEmptyResult() {
        const QString source = makeSource(QStringLiteral("in"), false);
        const QString out = path(QStringLiteral("out"));
        QVERIFY(TestSupport::writeAll(out + QStringLiteral("/shapes.emf"), "old"));
        const QString log = path(QStringLiteral("run.log"));
        const Result r =
            run(QStringLiteral("-P:Source=%1/shapes.ppt;Target=%2;PureConsole=1;IsOverwrite=Skip;LogFile=%3")
                    .arg(source, out, log));
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(TestSupport::readAll(log), QStringLiteral("Success => %1/shapes.ppt => \r\n").arg(source).toUtf8());
        QCOMPARE(TestSupport::readAll(out + QStringLiteral("/shapes.emf")), QByteArray("old"));
    }

    void nothingFoundWritesEmptyLog() {
        const QString log = path(QStringLiteral("empty.log"));
        const Result r = run(QStringLiteral("-P:Source=%1/*.ppt?;Target=%2;PureConsole=1;LogFile=%3")
                                 .arg(path(QStringLiteral("nothing-here")), path(QStringLiteral("out")), log));
        QCOMPARE(r.exitCode, 0);
        QVERIFY2(r.err.contains(QStringLiteral("No file matches")), qPrintable(r.err));
        QVERIFY(QFile::exists(log));
        QCOMPARE(QFileInfo(log).size(), 0);
        QCOMPARE(counter(QStringLiteral("C")), QStringLiteral("1"));
        QCOMPARE(counter(QStringLiteral("A")), QStringLiteral("0"));
    }

    void emptyTargetIsRefused() {
        const Result r = run(QStringLiteral("-P:Source=*.ppt?;PureConsole=1"));
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.contains(QStringLiteral("Target")), qPrintable(r.err));
    }

    void badOutputOptionStopsTheRun_data() {
        QTest::addColumn<QString>("option");
        QTest::newRow("format") << "Format=tiff";
        QTest::newRow("slides") << "Slides=first";
        QTest::newRow("resolution") << "ImageResolution=-1";
    }
    void badOutputOptionStopsTheRun() {
        QFETCH(QString, option);
        const QString source = makeSource(QStringLiteral("in"), false);
        const Result r = run(QStringLiteral("-P:Source=%1/*.ppt?;Target=%2;PureConsole=1;%3")
                                 .arg(source, path(QStringLiteral("out")), option));
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.contains(QStringLiteral("Invalid ") + option.section(u'=', 0, 0)), qPrintable(r.err));
        QVERIFY(r.out.isEmpty());
        QCOMPARE(QDir(path(QStringLiteral("out"))).entryList(QDir::Files), QStringList());
    }

    void uninstallSwitchEndsBeforeOptions() {
        // The default project would start a console run: -U must end before it is read.
        const QString source = makeSource(QStringLiteral("in"), false);
        QVERIFY(TestSupport::writeAll(path(QStringLiteral("bin/vorlane.batch-vorlane")),
                                      QStringLiteral("Source=%1/*.ppt?\r\nTarget=%2\r\nPureConsole=1\r\n")
                                          .arg(source, path(QStringLiteral("out")))
                                          .toUtf8()));
        const Result r = run(QStringLiteral("-U"));
        QCOMPARE(r.exitCode, 0);
        QVERIFY(!QFile::exists(path(QStringLiteral("out"))));
        QCOMPARE(links().size(), 1);
        QVERIFY(links().first().contains(QStringLiteral("a=uni")));
    }

    void ignoredParametersUseDefaultProject_data() {
        QTest::addColumn<QString>("param");
        QTest::newRow("one character") << "x";
        QTest::newRow("unknown switch") << "-x";
        QTest::newRow("none") << QString();
    }
    void ignoredParametersUseDefaultProject() {
        QFETCH(QString, param);
        const QString source = makeSource(QStringLiteral("in"), false);
        const QString out = path(QStringLiteral("out"));
        QVERIFY(TestSupport::writeAll(
            path(QStringLiteral("bin/vorlane.batch-vorlane")),
            QStringLiteral("Source=%1/shapes.ppt\r\nTarget=%2\r\nPureConsole=1\r\n").arg(source, out).toUtf8()));
        const Result r = run(param);
        QCOMPARE(r.exitCode, 0);
        QVERIFY(QFileInfo(out + QStringLiteral("/shapes.emf")).size() > 0);
    }

    // Names as real archives hold them, all in one run: each output is the source's name bytes with the new
    // extension, also below a folder whose name is not UTF-8, also for kept outputs and renamed sources; the
    // log and the console show the bytes escaped.
    void anyFileNameConverts() {
        const QByteArray deck = TestSupport::readAll(QStringLiteral(VORLANE_BINARY_DIR "/samples/shapes.ppt"));
        QVERIFY(!deck.isEmpty());
        const QList<QByteArray> names = {"Pr\xe4sentation",
                                         "bad\xff\xfe",
                                         "a;b",
                                         "a,b",
                                         "a=b",
                                         "-lead",
                                         "\"quoted\" 'single'",
                                         "two  spaces",
                                         "\xe4\xb8\xad\xe6\x96\x87 \xce\x95\xce\xbb",
                                         "Ordner \xc4/Pr\xe4s"};
        const QString source = path(QStringLiteral("in"));
        const QString out = path(QStringLiteral("out"));
        const QByteArray in = TlxFileName::Encode(source) + '/', target = TlxFileName::Encode(out) + '/';
        for (const QByteArray &name : names)
            QVERIFY(TestSupport::writeAll(TlxFileName::Decode(in + name + ".ppt"), deck));
        const QString log = path(QStringLiteral("names.log"));
        const QString param =
            QStringLiteral("-P:Source=%1/*.ppt?;Target=%2;PureConsole=1;ThreadsCount=2;Subdir=1;LogFile=%3");
        Result r = run(param.arg(source, out, log));
        QCOMPARE(r.exitCode, 0);
        for (const QByteArray &name : names)
            QVERIFY2(TlxFileName::Size(TlxFileName::Decode(target + name + ".emf")) > 0, name + r.out.toUtf8());
        QVERIFY2(r.out.contains(
                     QStringLiteral("Success => %1/Pr\\xE4sentation.ppt => %2/Pr\\xE4sentation.emf").arg(source, out)),
                 qPrintable(r.out));
        QCOMPARE(r.out.count(QStringLiteral("Success => ")), names.size());
        const QByteArray logged = TestSupport::readAll(log);
        QVERIFY2(logged.contains("/Ordner \\xC4/Pr\\xE4s.ppt => "), logged.constData());

        // Again, keeping the outputs there and renaming each source once it is done.
        r = run(param.arg(source, out, log) + QStringLiteral(";IsOverwrite=false;RenameSource=.done"));
        QCOMPARE(r.exitCode, 0);
        for (const QByteArray &name : names) {
            const qsizetype slash = name.lastIndexOf('/') + 1;
            const QByteArray kept = name.left(slash) + "-vorlane-" + name.mid(slash) + ".emf";
            QVERIFY2(TlxFileName::Size(TlxFileName::Decode(target + kept)) > 0, kept + r.out.toUtf8());
            QVERIFY2(TlxFileName::Exists(TlxFileName::Decode(in + name + ".ppt.done")), name.constData());
            QVERIFY(!TlxFileName::Exists(TlxFileName::Decode(in + name + ".ppt")));
        }
    }

    // A window wanted where there is no display: a plain message instead of the toolkit's abort.
    void windowWithoutDisplay() {
        const Result r = run(QStringLiteral("-P:Source=/in/*.ppt?;Target=/out"), 60000, false);
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.contains(QStringLiteral("PureConsole=1")), qPrintable(r.err));
    }

    // The option form: folders and files in one batch, the exit status, JSON lines, --newer and the status line.
    void optionFormExitStatus_data() {
        QTest::addColumn<QStringList>("args"); // %in: a folder of two good decks, %bad: one broken deck, %out
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("says"); // on stdout for a run, on stderr when it could not run
        QTest::newRow("all converted") << QStringList{"-j", "2", "-o", "%out", "%in"} << 0
                                       << "2 files: 2 converted, 0 skipped, 0 failed; 4 slides";
        QTest::newRow("one failed") << QStringList{"-q", "--target=%out", "%in", "%bad"} << 2
                                    << "3 files: 2 converted, 0 skipped, 1 failed";
        QTest::newRow("unknown option") << QStringList{"-o", "%out", "--fromat", "svg", "%in"} << 1 << "--fromat";
        QTest::newRow("bad format") << QStringList{"-f", "tiff", "-o", "%out", "%in"} << 1 << "-f: \"tiff\"";
        QTest::newRow("no target") << QStringList{"--skip", "%in"} << 1 << "no target";
        QTest::newRow("missing source") << QStringList{"-o", "%out", "%in", "%in/none.pptx"} << 1
                                        << "none.pptx: no such file or folder";
    }
    void optionFormExitStatus() {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, says);
        const QString in = makeSource(QStringLiteral("in"), false), out = path(QStringLiteral("out"));
        const QString bad = path(QStringLiteral("elsewhere/bad.pptx"));
        QVERIFY(TestSupport::writeAll(bad, QByteArray(3000, 'x')));
        args.replaceInStrings(QStringLiteral("%in"), in).replaceInStrings(QStringLiteral("%out"), out);
        args.replaceInStrings(QStringLiteral("%bad"), bad);
        const Result r = runArgs(args);
        QCOMPARE(r.exitCode, exitCode);
        QVERIFY2((exitCode == 1 ? r.err : r.out).contains(says), qPrintable(r.out + r.err));
        if (exitCode == 1)
            QVERIFY(!QFile::exists(out)); // nothing converted, not even the target made
        else
            QVERIFY(QFileInfo(out + QStringLiteral("/quarterly-report-3.emf")).size() > 0);
        QVERIFY(!r.out.contains(u'\x1b')); // no status line on a pipe
    }

    void optionFormJsonAndNewer() {
        const QString in = makeSource(QStringLiteral("in"), true), out = path(QStringLiteral("out"));
        const QString extra = path(QStringLiteral("extra/talk.pptx"));
        QVERIFY(QDir().mkpath(path(QStringLiteral("extra"))) && QDir().mkpath(in + QStringLiteral("/sub")));
        QVERIFY(QFile::copy(in + QStringLiteral("/quarterly-report.pptx"), extra));
        QVERIFY(QFile::copy(in + QStringLiteral("/shapes.ppt"), in + QStringLiteral("/sub/deep.ppt")));
        // Every source in one list: the folder (with its sub-folder), then the file named after it.
        auto statuses = [&](const Result &r) {
            QMap<QString, QString> byName;
            const QStringList lines = r.out.split(u'\n', Qt::SkipEmptyParts);
            for (qsizetype i = 0; i < lines.size(); ++i) {
                QJsonParseError error{};
                const QJsonObject o = QJsonDocument::fromJson(lines.at(i).toUtf8(), &error).object();
                if (error.error != QJsonParseError::NoError)
                    return QMap<QString, QString>{{QStringLiteral("bad line"), lines.at(i)}};
                if (o.value(QStringLiteral("summary")).toBool()) {
                    byName.insert(QStringLiteral("summary@") + QString::number(i + 1 == lines.size()),
                                  QStringLiteral("%1/%2")
                                      .arg(o.value(QStringLiteral("files")).toInt())
                                      .arg(o.value(QStringLiteral("failed")).toInt()));
                    continue;
                }
                const QString name = QFileInfo(o.value(QStringLiteral("source")).toString()).fileName();
                byName.insert(name, o.value(QStringLiteral("status")).toString());
                for (const QJsonValue &file : o.value(QStringLiteral("outputs")).toArray())
                    if (QFileInfo(file.toString()).size() <= 0)
                        byName.insert(name, QStringLiteral("missing ") + file.toString());
                if (o.value(QStringLiteral("status")).toString() == u"converted" &&
                    o.value(QStringLiteral("slides")).toInt() != o.value(QStringLiteral("outputs")).toArray().size())
                    byName.insert(name, QStringLiteral("slides miscounted"));
                // The file's phases are its own: together no more than its time, the office's PDF among them.
                const QJsonObject phases = o.value(QStringLiteral("phases")).toObject();
                double spent = 0;
                for (const QJsonValue &v : phases)
                    spent += v.toDouble();
                if (o.value(QStringLiteral("status")).toString() == u"converted" &&
                    (phases.size() != 9 || phases.value(QStringLiteral("pdf")).toDouble() <= 0 ||
                     spent > o.value(QStringLiteral("seconds")).toDouble() + 0.01 ||
                     !o.value(QStringLiteral("fontsMissing")).isArray() ||
                     !o.value(QStringLiteral("equationPictures")).isArray() ||
                     !o.value(QStringLiteral("pictureParts")).isArray()))
                    byName.insert(name, QStringLiteral("phases or fonts wrong: ") + lines.at(i));
            }
            return byName;
        };
        const QStringList args{"--json", "--newer", "-r", "-j", "2", "-o", out, in, extra};
        Result r = runArgs(args);
        QCOMPARE(r.exitCode, 2);
        QMap<QString, QString> seen = statuses(r);
        QCOMPARE(seen.value(QStringLiteral("quarterly-report.pptx")), QStringLiteral("converted"));
        QCOMPARE(seen.value(QStringLiteral("deep.ppt")), QStringLiteral("converted"));
        QCOMPARE(seen.value(QStringLiteral("talk.pptx")), QStringLiteral("converted"));
        QCOMPARE(seen.value(QStringLiteral("broken-one.pptx")), QStringLiteral("failed"));
        QCOMPARE(seen.value(QStringLiteral("summary@1")), QStringLiteral("6/2"));
        QVERIFY(QFileInfo(out + QStringLiteral("/sub/deep.emf")).size() > 0);

        // One deck changed since: only it is converted again.
        QFile deck(in + QStringLiteral("/shapes.ppt"));
        QVERIFY(deck.open(QIODevice::ReadWrite));
        QVERIFY(deck.setFileTime(QDateTime::currentDateTime().addSecs(60), QFileDevice::FileModificationTime));
        deck.close();
        r = runArgs(args);
        seen = statuses(r);
        QCOMPARE(seen.value(QStringLiteral("shapes.ppt")), QStringLiteral("converted"));
        QCOMPARE(seen.value(QStringLiteral("quarterly-report.pptx")), QStringLiteral("skipped"));
        QCOMPARE(seen.value(QStringLiteral("talk.pptx")), QStringLiteral("skipped"));
        QCOMPARE(seen.value(QStringLiteral("broken-two.pptx")), QStringLiteral("failed"));
    }

    void statusLineOnTerminal() {
        if (QStandardPaths::findExecutable(QStringLiteral("script")).isEmpty())
            QSKIP("script (util-linux) is not installed: no terminal to run in");
        const QString in = makeSource(QStringLiteral("in"), false), out = path(QStringLiteral("out"));
        // script gives the program a terminal of its own and keeps what it shows.
        QProcess script;
        script.start(QStringLiteral("script"),
                     {QStringLiteral("-q"), QStringLiteral("-e"), QStringLiteral("-c"),
                      QStringLiteral("'%1' -o '%2' '%3'").arg(m_program, out, in), QStringLiteral("/dev/null")});
        QVERIFY(script.waitForFinished(240000));
        const QString screen = QString::fromUtf8(script.readAllStandardOutput());
        QCOMPARE(script.exitCode(), 0);
        // Redrawn at most a few times a second: which counts it showed depends on the pace, its form does not.
        static const QRegularExpression status(QStringLiteral("\x1b\\[K[0-2]/2 files, [0-4] slides, 0 failed, "
                                                              "[0-9.]+ files/min"));
        QVERIFY2(screen.contains(status), qPrintable(screen));
        // Cleared at the end: the summary takes its place and nothing is drawn after it.
        const qsizetype summary = screen.indexOf(QStringLiteral("\r\x1b[K2 files: 2 converted"));
        QVERIFY2(summary > 0 && screen.lastIndexOf(QStringLiteral("files/min")) < summary, qPrintable(screen));
    }

    void helpAndVersion() {
        Result r = run(QStringLiteral("--help"));
        QCOMPARE(r.exitCode, 0);
        QVERIFY(r.out.contains(QStringLiteral("ThreadsCount")));
        r = run(QStringLiteral("--version"));
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out, QStringLiteral("Quillon Converter 2018.10.222.1802\n"));
        QVERIFY(!QFile::exists(path(QStringLiteral("bin/vorlane.ext")))); // not counted as a start
    }
};

QTEST_GUILESS_MAIN(TestConsole)
#include "tst_console.moc"
