#include "project/lxApp.h"
#include "project/lxProject.h"
#include "project/lxPropList.h"

#include "ScriptedDialogs.h"
#include "TestSupport.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <atomic>
#include <memory>

// Exercises the project's option list, project files, recent list and control binding.
class TestProject : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TlxApp> m_app;
    std::unique_ptr<TlxProject> m_project;

    QString path(const QString &name) const { return m_dir->filePath(name); }

    void makeProject() {
        m_project = std::make_unique<TlxProject>();
        lxProject = m_project.get();
        TlxProject &p = *m_project;
        p.ShortName = QStringLiteral("vorlane");
        p.ProjectExt = QStringLiteral(".batch-vorlane");
        p.ProjectFilter = QStringLiteral("Quillon Project|*.batch-vorlane");
        p.SourceFilter = QStringLiteral("PowerPoint Workbook (*.ppt;*.pptx)|*.ppt;*.pptx");
        p.SourceMask = QStringLiteral("*.ppt?");
        p.TargetExt = QStringLiteral(".emf");
    }

private Q_SLOTS:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        QDir().mkpath(path(QStringLiteral("bin")));
        m_app = std::make_unique<TlxApp>(path(QStringLiteral("bin/vorlane")), QString());
        lxApp = m_app.get();
        makeProject();
    }
    void cleanup() {
        m_project.reset();
        lxProject = nullptr;
        lxApp = nullptr;
        m_app.reset();
        m_dir.reset();
    }

    void optionList() {
        TlxProject &p = *m_project;
        p.SetOptions({QStringLiteral("no equals sign"), QStringLiteral("Source= /in/ "),
                      QStringLiteral("source=second"), QStringLiteral("a=b=c")});
        QCOMPARE(p.GetOption(QStringLiteral("SOURCE")), QStringLiteral(" /in/ ")); // first match, untrimmed
        QCOMPARE(p.GetOption(QStringLiteral("a")), QStringLiteral("b=c"));
        QCOMPARE(p.GetOption(QStringLiteral("no equals sign")), QString());
        p.SetOption(QStringLiteral("SOURCE"), QStringLiteral("/x"));
        QCOMPARE(p.Options().at(1), QStringLiteral("SOURCE=/x")); // replaced in place, caller's spelling
        p.SetOption(QStringLiteral("source"), QString());         // deletes the first match only
        QCOMPARE(p.GetOption(QStringLiteral("Source")), QStringLiteral("second"));
        p.SetOption(QStringLiteral("New"), QStringLiteral("1"));
        QCOMPARE(p.Options().last(), QStringLiteral("New=1"));
        QCOMPARE(p.Options().first(), QStringLiteral("no equals sign")); // kept
    }

    void typedAccessors_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("accessor");
        QTest::addColumn<QString>("expected");
        QTest::newRow("threads abc") << "ThreadsCount=abc"
                                     << "ThreadsCount"
                                     << "1";
        QTest::newRow("threads 3") << "ThreadsCount=3"
                                   << "ThreadsCount"
                                   << "3";
        QTest::newRow("threads -2") << "ThreadsCount=-2"
                                    << "ThreadsCount"
                                    << "-2";
        QTest::newRow("threads missing") << ""
                                         << "ThreadsCount"
                                         << "1";
        QTest::newRow("daemon -5") << "Daemon=-5"
                                   << "Daemon"
                                   << "-5";
        QTest::newRow("subdir TRUE") << "Subdir=TRUE"
                                     << "Subdir"
                                     << "1";
        QTest::newRow("subdir 2") << "Subdir=2"
                                  << "Subdir"
                                  << "1";
        QTest::newRow("subdir 0") << "Subdir=0"
                                  << "Subdir"
                                  << "0";
        QTest::newRow("subdir yes") << "Subdir=yes"
                                    << "Subdir"
                                    << "0";
        QTest::newRow("keep subdirs junk") << "KeepTargetSubdirs=junk"
                                           << "KeepTargetSubdirs"
                                           << "1";
        QTest::newRow("keep subdirs false") << "KeepTargetSubdirs=false"
                                            << "KeepTargetSubdirs"
                                            << "0";
        QTest::newRow("run and close by console") << "PureConsole=1"
                                                  << "RunAndClose"
                                                  << "1";
        QTest::newRow("run and close by daemon") << "Daemon=10"
                                                 << "RunAndClose"
                                                 << "1";
        QTest::newRow("negative daemon not unattended") << "Daemon=-5"
                                                        << "RunAndClose"
                                                        << "0";
        QTest::newRow("overwrite SKIP") << "IsOverwrite=SKIP"
                                        << "OverwriteMode"
                                        << "skip";
        QTest::newRow("overwrite 0") << "IsOverwrite=0"
                                     << "OverwriteMode"
                                     << "keep";
        QTest::newRow("overwrite false") << "IsOverwrite=False"
                                         << "OverwriteMode"
                                         << "keep";
        QTest::newRow("overwrite abc") << "IsOverwrite=abc"
                                       << "OverwriteMode"
                                       << "overwrite";
        QTest::newRow("overwrite missing") << ""
                                           << "OverwriteMode"
                                           << "overwrite";
    }
    void typedAccessors() {
        QFETCH(QString, line);
        QFETCH(QString, accessor);
        QFETCH(QString, expected);
        TlxProject &p = *m_project;
        p.SetOptions(line.isEmpty() ? QStringList() : QStringList{line});
        QString actual;
        if (accessor == QLatin1String("ThreadsCount"))
            actual = QString::number(p.ThreadsCount());
        else if (accessor == QLatin1String("Daemon"))
            actual = QString::number(p.Daemon());
        else if (accessor == QLatin1String("Subdir"))
            actual = QString::number(p.Subdir());
        else if (accessor == QLatin1String("KeepTargetSubdirs"))
            actual = QString::number(p.KeepTargetSubdirs());
        else if (accessor == QLatin1String("RunAndClose"))
            actual = QString::number(p.RunAndClose());
        else if (accessor == QLatin1String("OverwriteMode")) {
            const TlxOverwriteMode mode = p.OverwriteMode();
            actual = mode == TlxOverwriteMode::Skip           ? QStringLiteral("skip")
                     : mode == TlxOverwriteMode::KeepExisting ? QStringLiteral("keep")
                                                              : QStringLiteral("overwrite");
        }
        QCOMPARE(actual, expected);
    }

    void targetFolder() {
        TlxProject &p = *m_project;
        const QString out = path(QStringLiteral("deep/out"));
        p.SetOption(QStringLiteral("Target"), out);
        QCOMPARE(p.TargetFolder(), out + u'/');
        QVERIFY(QFileInfo(out).isDir());
        p.SetOption(QStringLiteral("Target"), out + u'/');
        QCOMPARE(p.TargetFolder(), out + u'/');
    }

    void startupWithoutDefaultProject() {
        TlxProject &p = *m_project;
        p.OpenStartupProject();
        const QString def = path(QStringLiteral("bin/vorlane.batch-vorlane"));
        QCOMPARE(p.FileName, def);
        QVERIFY(p.Options().isEmpty());
        QVERIFY(p.RecentFiles.isEmpty()); // a failed load is not a recent project
        p.SetOption(QStringLiteral("Source"), QStringLiteral("/in/*.ppt?"));
        ScriptedDialogs dialogs; // no answers: any dialog would cancel
        p.SaveProject();
        QVERIFY(dialogs.calls.isEmpty());
        QCOMPARE(TestSupport::readAll(def), QByteArray("Source=/in/*.ppt?\r\n"));
        QCOMPARE(p.RecentFiles, QStringList{def});
    }

    void presentationAsParameter() {
        TlxProject &p = *m_project;
        p.FileName = QStringLiteral("/decks/talk.pptx");
        p.OpenStartupProject();
        QVERIFY(p.FileName.isEmpty());
        QCOMPARE(p.GetOption(QStringLiteral("Source")), QStringLiteral("/decks/talk.pptx"));
        QCOMPARE(p.GetOption(QStringLiteral("Target")), QStringLiteral("/decks/"));
        // Letter case of the extension matters.
        p.FileName = QStringLiteral("/P/Conv.BATCH-VORLANE");
        p.OpenProject(false);
        QCOMPARE(p.GetOption(QStringLiteral("Source")), QStringLiteral("/P/Conv.BATCH-VORLANE"));
        QVERIFY(p.FileName.isEmpty());
    }

    void commandLineOptions() {
        TlxProject &p = *m_project;
        p.CommandLineOptions = QStringLiteral("Source=/in/*.ppt?\r\nPureConsole=1");
        p.OpenStartupProject();
        QVERIFY(p.FileName.isEmpty());
        QCOMPARE(p.GetOption(QStringLiteral("Target")), QStringLiteral("/in/"));
        QVERIFY(p.PureConsole());
    }

    void recentListKeepsPlace() {
        TlxProject &p = *m_project;
        const QString a = path(QStringLiteral("a.batch-vorlane"));
        const QString b = path(QStringLiteral("b.batch-vorlane"));
        QVERIFY(TestSupport::writeAll(a, "Source=/a\r\n"));
        QVERIFY(TestSupport::writeAll(b, "Source=/b\r\n"));
        for (const QString &name : {a, b, a}) {
            p.FileName = name;
            p.OpenProject(false);
        }
        QCOMPARE(p.RecentFiles, (QStringList{b, a}));
        QCOMPARE(p.GetOption(QStringLiteral("Source")), QStringLiteral("/a"));
        // The list survives the project object and is read back by the next one.
        m_project.reset();
        QCOMPARE(TestSupport::readAll(m_app->ExePath + QStringLiteral(".log")),
                 (b + QStringLiteral("\r\n") + a + QStringLiteral("\r\n")).toUtf8());
        makeProject();
        QCOMPARE(m_project->RecentFiles, (QStringList{b, a}));
    }

    void failedLoadKeepsOptions() {
        TlxProject &p = *m_project;
        p.SetOption(QStringLiteral("Source"), QStringLiteral("/keep"));
        p.FileName = path(QStringLiteral("missing.batch-vorlane"));
        p.OpenProject(false);
        QCOMPARE(p.GetOption(QStringLiteral("Source")), QStringLiteral("/keep"));
        QCOMPARE(p.FileName, path(QStringLiteral("missing.batch-vorlane")));
        QVERIFY(p.RecentFiles.isEmpty());
    }

    void encodings_data() {
        QTest::addColumn<QByteArray>("data");
        const QString text = QStringLiteral("Source=/Präsentationen/中文/*.ppt?\r\nnote line\rTarget=/out\n");
        QTest::newRow("utf8 no bom") << text.toUtf8();
        QTest::newRow("utf8 bom") << QByteArray("\xEF\xBB\xBF") + text.toUtf8();
        QStringEncoder le(QStringConverter::Utf16LE), be(QStringConverter::Utf16BE);
        QTest::newRow("utf16 le bom") << QByteArray("\xFF\xFE") + QByteArray(le.encode(text));
        QTest::newRow("utf16 be bom") << QByteArray("\xFE\xFF") + QByteArray(be.encode(text));
    }
    void encodings() {
        QFETCH(QByteArray, data);
        const QString file = path(QStringLiteral("enc.batch-vorlane"));
        QVERIFY(TestSupport::writeAll(file, data));
        QStringList lines;
        QVERIFY(TlxProject::ReadLines(file, lines));
        QCOMPARE(lines, (QStringList{QStringLiteral("Source=/Präsentationen/中文/*.ppt?"), QStringLiteral("note line"),
                                     QStringLiteral("Target=/out")}));
    }

    void writeFormat() {
        const QString file = path(QStringLiteral("w/x.batch-vorlane"));
        QDir().mkpath(path(QStringLiteral("w")));
        TlxProject::WriteLines(file, {QStringLiteral("Source=/ä"), QStringLiteral("plain")});
        QCOMPARE(TestSupport::readAll(file), QByteArray("Source=/\xC3\xA4\r\nplain\r\n"));
        QVERIFY_THROWS_EXCEPTION(std::exception, TlxProject::WriteLines(path(QStringLiteral("nodir/x/y")), {}));
    }

    void writeFailureReachesCaller() {
        TlxProject &p = *m_project;
        p.FileName = path(QStringLiteral("no/such/folder/p.batch-vorlane"));
        QVERIFY_THROWS_EXCEPTION(std::exception, p.SaveProject());
        QVERIFY(p.RecentFiles.isEmpty());
    }

    void largeAndJunkFiles() {
        QByteArray big;
        for (int i = 0; i < 10000; ++i)
            big += "Key" + QByteArray::number(i) + "=value" + QByteArray::number(i) + "\r\n";
        const QString bigFile = path(QStringLiteral("big.batch-vorlane"));
        QVERIFY(TestSupport::writeAll(bigFile, big));
        m_project->FileName = bigFile;
        m_project->OpenProject(false);
        QCOMPARE(m_project->Options().size(), 10000);
        QCOMPARE(m_project->GetOption(QStringLiteral("key9999")), QStringLiteral("value9999"));

        QByteArray junk;
        for (int i = 0; i < 65536; ++i)
            junk += char((i * 7919) % 256);
        const QString junkFile = path(QStringLiteral("junk.batch-vorlane"));
        QVERIFY(TestSupport::writeAll(junkFile, junk));
        m_project->FileName = junkFile;
        m_project->OpenProject(false);
        m_project->GetOption(QStringLiteral("Source"));
    }

    void saveAsWithDialog() {
        TlxProject &p = *m_project;
        ScriptedDialogs dialogs;
        dialogs.cancel();
        p.SaveProjectAs();
        QVERIFY(p.FileName.isEmpty());
        const QString chosen = path(QStringLiteral("mine.batch-vorlane"));
        dialogs.answer({chosen});
        p.SetOption(QStringLiteral("Target"), QStringLiteral("/out/"));
        p.SaveProjectAs();
        QCOMPARE(p.FileName, chosen);
        QCOMPARE(dialogs.calls.last().filter, p.ProjectFilter);
        QCOMPARE(dialogs.calls.last().defaultExt, QStringLiteral(".batch-vorlane"));
        QCOMPARE(TestSupport::readAll(chosen), QByteArray("Target=/out/\r\n"));
        // Open with dialog offers projects first, then presentations, starting in the project's folder.
        dialogs.cancel();
        p.OpenProject(true);
        QCOMPARE(dialogs.calls.last().filter, p.ProjectFilter + u'|' + p.SourceFilter);
        QCOMPARE(dialogs.calls.last().initialFolder, m_dir->path() + u'/');
        QCOMPARE(p.FileName, chosen);
    }

    void binding() {
        TlxProject &p = *m_project;
        QLineEdit source, target;
        QCheckBox subdir;
        source.setObjectName(QStringLiteral("eSource"));
        source.setProperty("hint", QStringLiteral("Text"));
        subdir.setObjectName(QStringLiteral("cSubdir"));
        subdir.setProperty("hint", QStringLiteral("Checked"));
        target.setObjectName(QStringLiteral("eTarget"));
        target.setProperty("hint", QStringLiteral("Text"));
        p.BindControl(&source);
        p.BindControl(&subdir);
        p.BindControl(&target);

        // A project of an older version keeps the source under the control's own name.
        const QString file = path(QStringLiteral("legacy.batch-vorlane"));
        QVERIFY(TestSupport::writeAll(file, "eSource.Text=/In/*.ppt?\r\nSubdir=1\r\nTarget=/out/\r\n"));
        p.FileName = file;
        p.OpenProject(false);
        QCOMPARE(source.text(), QStringLiteral("/In/*.ppt?"));
        QVERIFY(subdir.isChecked());
        QCOMPARE(target.text(), QStringLiteral("/out/"));

        target.clear();
        subdir.setChecked(false);
        p.SaveProject();
        QCOMPARE(TestSupport::readAll(file), QByteArray("Subdir=False\r\nSource=/In/*.ppt?\r\n"));

        p.NewProject();
        QVERIFY(source.text().isEmpty());
        QVERIFY(!subdir.isChecked());
        p.StoreOptions(false);
        QCOMPARE(p.Options(), QStringList{QStringLiteral("Subdir=False")});
    }

    void propList() {
        QCheckBox box;
        TlxPropList props(&box);
        QVERIFY(props.PropCount() > 0);
        QCOMPARE(props.GetPropText(QStringLiteral("Checked")), QStringLiteral("False"));
        props.SetPropText(QStringLiteral("Checked"), QStringLiteral("TRUE"));
        QVERIFY(box.isChecked());
        props.SetPropText(QStringLiteral("Checked"), QStringLiteral("maybe")); // not a value: ignored
        QVERIFY(box.isChecked());
        props.SetPropText(QStringLiteral("Checked"), QString()); // empty reads as False
        QVERIFY(!box.isChecked());
        props.SetPropText(QStringLiteral("Checked"), QStringLiteral("1")); // numbers are Booleans too
        QVERIFY(box.isChecked());
        props.SetPropText(QStringLiteral("Checked"), QStringLiteral("0"));
        QVERIFY(!box.isChecked());
        props.SetPropText(QStringLiteral("NoSuchProperty"), QStringLiteral("x"));
        QCOMPARE(props.GetPropText(QStringLiteral("NoSuchProperty")), QString());
        QCOMPARE(props.GetPropText(QStringLiteral("LayoutDirection")), QStringLiteral("LeftToRight"));
    }

    // Worker threads read options while the main thread stores the controls into them.
    void concurrentReads() {
        TlxProject &p = *m_project;
        p.SetOptions({QStringLiteral("ThreadsCount=4"), QStringLiteral("Source=/in")});
        std::atomic<bool> stop{false};
        std::atomic<int> wrong{0};
        QList<QThread *> readers;
        for (int i = 0; i < 4; ++i) {
            readers << QThread::create([&] {
                while (!stop) {
                    if (p.ThreadsCount() != 4)
                        ++wrong;
                }
            });
            readers.last()->start();
        }
        for (int i = 0; i < 20000; ++i)
            p.SetOption(QStringLiteral("Source"), i % 2 ? QStringLiteral("/a") : QString());
        stop = true;
        for (QThread *t : readers) {
            t->wait();
            delete t;
        }
        QCOMPARE(wrong.load(), 0);
    }
};

QTEST_MAIN(TestProject)
#include "tst_project.moc"
