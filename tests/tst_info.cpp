// Usage counters, the counters file and the links handed to the desktop shell.
#include "RecordingShell.h"
#include "TestSupport.h"

#include "base/lxFileName.h"
#include "base/lxFileUtils.h"
#include "info/lxInfo.h"
#include "platform/shell/XdgShell.h"
#include "project/lxApp.h"
#include "project/lxProject.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <memory>
#include <vector>

namespace {
QByteArray utf16(const QString &text) {
    return QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
}
QString fromUtf16(const QByteArray &bytes) {
    return QString(reinterpret_cast<const QChar *>(bytes.constData()), bytes.size() / 2);
}
} // namespace

class TestInfo : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_exe;

    QString statsFile() const { return m_dir->path() + QStringLiteral("/bin/vorlane.ext"); }
    void writeStats(const QString &text) { QVERIFY(TestSupport::writeAll(statsFile(), utf16(text))); }
    QString readStats() const { return fromUtf16(TestSupport::readAll(statsFile())); }
    QString query(const QString &target) const { return target.mid(target.indexOf(u'?') + 1); }
    QString id() const { return QString::number(lxInfo->InstallId); }

    void start() {
        delete lxInfo;
        lxInfo = new TlxInfo;
    }

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        QDir(m_dir->path()).mkpath(QStringLiteral("bin"));
        m_exe = m_dir->path() + QStringLiteral("/bin/vorlane");
        lxApp = new TlxApp(m_exe, QString());
        lxProject = new TlxProject;
        lxProject->ShortName = QStringLiteral("vorlane");
        lxProject->Title = QStringLiteral("Quillon Converter");
        lxProject->Version = QStringLiteral("2018.10.222.1802");
    }

    void cleanup() {
        delete lxInfo;
        lxInfo = nullptr;
        delete lxProject;
        lxProject = nullptr;
        delete lxApp;
        lxApp = nullptr;
        // A test may have left the program folder read-only: the temporary folder must stay removable.
        QFile::setPermissions(m_dir->path() + QStringLiteral("/bin"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        m_dir.reset();
    }

    void firstStartWritesFormatAndStartCount() {
        RecordingShell shell;
        start();
        QCOMPARE(lxInfo->StatsFileName(), statsFile());
        QCOMPARE(readStats(), QStringLiteral("v=2\r\nR=1\r\n"));
        lxInfo->OpenLink({}, {}, {});
        QCOMPARE(shell.targets,
                 QStringList{TlxInfo::HomeUrl + QStringLiteral("?p=vorlane&v=2018.10.222.1802&c=r1&i=") + id()});
        QVERIFY(TlxInfo::HomeUrl.startsWith(QLatin1String("http://")));
        QVERIFY(!TlxInfo::HomeUrl.endsWith(u'/'));
    }

    void storedFile_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("statsText");
        const QString fresh = QStringLiteral("v=2\r\nR=1\r\n");
        QTest::newRow("kept in file order")
            << utf16(QStringLiteral("F=2\r\nR=12\r\nv=1\r\nC=3\r\n")) << QStringLiteral("F=2\r\nR=13\r\nv=2\r\nC=3\r\n")
            << QStringLiteral("f2r13c3");
        QTest::newRow("no start count") << utf16(QStringLiteral("C=5\r\nA=7\r\n")) << fresh << QStringLiteral("r1");
        QTest::newRow("empty start count") << utf16(QStringLiteral("R=\r\nC=5\r\n")) << fresh << QStringLiteral("r1");
        QTest::newRow("odd length") << utf16(QStringLiteral("R=4\r\n")) + 'x' << fresh << QStringLiteral("r1");
        QTest::newRow("not UTF-16") << QByteArray("R=4\r\nC=1\r\n") << fresh << QStringLiteral("r1");
        QTest::newRow("lone surrogate") << utf16(QStringLiteral("R=4\r\n")) + QByteArray("\x00\xD8", 2) << fresh
                                        << QStringLiteral("r1");
        QTest::newRow("lower-case and nameless entries not sent")
            << utf16(QStringLiteral("x=9\r\n=4\r\nR=1\r\n")) << QStringLiteral("x=9\r\n=4\r\nR=2\r\nv=2\r\n")
            << QStringLiteral("r2");
    }
    void storedFile() {
        QFETCH(QByteArray, file);
        QFETCH(QString, expected);
        QFETCH(QString, statsText);
        QVERIFY(TestSupport::writeAll(statsFile(), file));
        start();
        QCOMPARE(readStats(), expected);
        QCOMPARE(lxInfo->StatsText(), statsText);
    }

    void updateStat_data() {
        QTest::addColumn<QString>("before"); // value of "W" before, "-" for absent
        QTest::addColumn<qint64>("newValue");
        QTest::addColumn<qint64>("delta");
        QTest::addColumn<QString>("after");
        QTest::addColumn<bool>("written");
        QTest::newRow("set absent") << "-" << qint64(16) << qint64(1) << "16" << true;
        QTest::newRow("set other") << "11" << qint64(16) << qint64(1) << "16" << true;
        QTest::newRow("set same") << "16" << qint64(16) << qint64(1) << "16" << false;
        QTest::newRow("add one") << "16" << qint64(0) << qint64(1) << "17" << true;
        QTest::newRow("add zero to absent") << "-" << qint64(0) << qint64(0) << "0" << true;
        QTest::newRow("add zero to present") << "5" << qint64(0) << qint64(0) << "5" << false;
        QTest::newRow("add to non-numeric") << "abc" << qint64(0) << qint64(3) << "3" << true;
        QTest::newRow("add zero to non-numeric") << "abc" << qint64(0) << qint64(0) << "0" << true;
        QTest::newRow("negative value adds") << "5" << qint64(-4) << qint64(2) << "7" << true;
        QTest::newRow("largest count stays")
            << "9223372036854775807" << qint64(0) << qint64(1) << "9223372036854775807" << false;
        QTest::newRow("smallest count stays")
            << "-9223372036854775808" << qint64(0) << qint64(-1) << "-9223372036854775808" << false;
    }
    void updateStat() {
        QFETCH(QString, before);
        QFETCH(qint64, newValue);
        QFETCH(qint64, delta);
        QFETCH(QString, after);
        QFETCH(bool, written);
        writeStats(before == QLatin1String("-") ? QStringLiteral("R=3\r\n")
                                                : QStringLiteral("R=3\r\nW=%1\r\n").arg(before));
        start();
        QVERIFY(QFile::remove(statsFile())); // whether the call writes shows as the file coming back
        lxInfo->UpdateStat(QStringLiteral("W"), newValue, delta);
        QCOMPARE(lxInfo->StatValue(QStringLiteral("W")), after);
        QCOMPARE(QFile::exists(statsFile()), written);
        if (written)
            QVERIFY(readStats().contains(QStringLiteral("W=") + after + QStringLiteral("\r\n")));
    }

    void links_data() {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("extra");
        QTest::addColumn<QString>("expected"); // "{id}" stands for the installation id
        const QString tail = QStringLiteral("p=vorlane&v=2018.10.222.1802&c=r1&i={id}");
        const QString home = TlxInfo::HomeUrl;
        QTest::newRow("home") << "Quillon Converter"
                              << ""
                              << ""
                              << "" << home + "?" + tail;
        QTest::newRow("support mail") << "Quillon Converter"
                                      << "supports"
                                      << ""
                                      << ""
                                      << "mailto:" + TlxInfo::SupportAddress +
                                             "?subject=Support required for Quillon Converter 2018.10.222.1802 - {id}";
        QTest::newRow("title with two ampersands")
            << "Quillon & Co & Sons"
            << "supports"
            << ""
            << ""
            << "mailto:" + TlxInfo::SupportAddress +
                   "?subject=Support required for Quillon And Co & Sons 2018.10.222.1802 - {id}";
        QTest::newRow("Supports is a web page") << "Quillon Converter"
                                                << "Supports"
                                                << ""
                                                << "" << home + "/en/vorlane/Supports.htm?" + tail;
        QTest::newRow("download has no action") << "Quillon Converter"
                                                << "download"
                                                << ""
                                                << "" << home + "/en/vorlane/download.htm?" + tail;
        QTest::newRow("install switch") << "Quillon Converter"
                                        << ""
                                        << "ins"
                                        << "lang=de" << home + "/net/?a=ins&" + tail + "&lang=de";
        QTest::newRow("uninstall switch") << "Quillon Converter"
                                          << ""
                                          << "uni"
                                          << "" << home + "/net/?a=uni&" + tail;
        QTest::newRow("report quotes dropped, & splits") << "Quillon Converter"
                                                         << ""
                                                         << "err&e=say \"no\"&x=1 ?"
                                                         << "" << home + "/net/?a=err&e=say no&x=1 ?&" + tail;
    }
    void links() {
        QFETCH(QString, title);
        QFETCH(QString, page);
        QFETCH(QString, action);
        QFETCH(QString, extra);
        QFETCH(QString, expected);
        lxProject->Title = title;
        RecordingShell shell;
        start();
        lxInfo->OpenLink(page, action, extra);
        QCOMPARE(shell.targets, QStringList{QString(expected).replace(QStringLiteral("{id}"), id())});
    }

    void helpFile() {
        RecordingShell shell;
        start();
        lxInfo->OpenLink(QStringLiteral("h"), {}, {});
        QVERIFY(TestSupport::writeAll(m_dir->path() + QStringLiteral("/bin/vorlane.chm"), "x"));
        lxInfo->OpenLink(QStringLiteral("h"), {}, {});
        QCOMPARE(shell.targets, (QStringList{m_exe + QStringLiteral(".pdf"), m_exe + QStringLiteral(".chm")}));
    }

    void unhandledErrorIsCountedAndReported() {
        RecordingShell shell;
        start();
        QVERIFY(TlxInfo::DispatchUnhandled(QStringLiteral("Bad \"thing\" & more")));
        QCOMPARE(lxInfo->StatValue(QStringLiteral("E")), QStringLiteral("1"));
        QCOMPARE(shell.targets.size(), 1);
        QCOMPARE(query(shell.targets.first()),
                 QStringLiteral("a=err&e=Bad thing & more&p=vorlane&v=2018.10.222.1802&c=r1e1&i=") + id());
        delete lxInfo;
        lxInfo = nullptr;
        QVERIFY(!TlxInfo::DispatchUnhandled(QStringLiteral("after the end")));
    }

    // The counters file cannot be written (its name is taken by a folder; as root a read-only folder would not
    // stop the write): the start, later counts and the end go on with the counters in memory.
    void unwritableFileNeverStopsTheProgram() {
        QVERIFY(QDir().mkpath(statsFile()));
        RecordingShell shell;
        start();
        QCOMPARE(lxInfo->StatValue(QStringLiteral("R")), QStringLiteral("1"));
        lxInfo->UpdateStat(QStringLiteral("C"), 0, 1);
        lxInfo->UpdateStat(QStringLiteral("C"), 0, 1);
        QCOMPARE(lxInfo->StatValue(QStringLiteral("C")), QStringLiteral("2"));
        QVERIFY(!lxInfo->SaveStats());
        lxInfo->OpenLink({}, {}, {});
        QVERIFY(shell.targets.first().contains(QStringLiteral("&c=r1c2&")));
    }

    void readOnlyProgramFolderDoesNotStopStart() {
        const QString bin = m_dir->path() + QStringLiteral("/bin");
        QVERIFY(QFile::setPermissions(bin, QFile::ReadOwner | QFile::ExeOwner));
        start();
        QCOMPARE(lxInfo->StatValue(QStringLiteral("R")), QStringLiteral("1"));
    }

    void readOnlyFileIsMadeWritable() {
        writeStats(QStringLiteral("R=4\r\n"));
        QVERIFY(QFile::setPermissions(statsFile(), QFile::ReadOwner | QFile::ReadGroup));
        start();
        QVERIFY(QFile::permissions(statsFile()) & QFile::WriteOwner);
        QCOMPARE(readStats(), QStringLiteral("R=5\r\nv=2\r\n"));
    }

    void installIdIsTheFolderTime() {
        start();
        QCOMPARE(lxInfo->InstallId, TlxFileUtils::GetFileDate(m_dir->path() + QStringLiteral("/bin"), true, true));
        delete lxInfo; // saves beside the old program path
        lxInfo = nullptr;
        delete lxApp;
        lxApp = new TlxApp(m_dir->path() + QStringLiteral("/missing/vorlane"), QString());
        start();
        QCOMPARE(lxInfo->InstallId, -1);
    }

    // Converter threads set and add counters at the same time: no count may be lost and the file stays whole.
    void concurrentUpdatesAreSerialised() {
        start();
        const int threads = 6, perThread = 150;
        std::vector<std::unique_ptr<QThread>> workers;
        for (int t = 0; t < threads; ++t) {
            workers.emplace_back(QThread::create([t] {
                for (int i = 0; i < perThread; ++i) {
                    lxInfo->UpdateStat(QStringLiteral("A"), 0, 1);
                    lxInfo->UpdateStat(QStringLiteral("W"), 16 + t % 2, 1);
                }
            }));
            workers.back()->start();
        }
        for (auto &w : workers)
            QVERIFY(w->wait(60000));
        QCOMPARE(lxInfo->StatValue(QStringLiteral("A")), QString::number(threads * perThread));
        delete lxInfo;
        lxInfo = nullptr;
        const QString text = readStats();
        QVERIFY2(text.startsWith(QStringLiteral("v=2\r\nR=1\r\nA=900\r\nW=1")), qPrintable(text));
        QVERIFY(text.endsWith(QStringLiteral("\r\n")));
    }

    void shellCommandIsAnArgumentVector_data() {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QStringList>("command");
        QTest::newRow("web") << "http://h.example/net/?a=err&e=x; rm -rf ~ `id` $(id)"
                             << QStringList{"xdg-open", "http://h.example/net/?a=err&e=x; rm -rf ~ `id` $(id)"};
        QTest::newRow("folder with blanks") << "/tmp/My Out/" << QStringList{"xdg-open", "/tmp/My Out/"};
        QTest::newRow("leading dash is no option") << "-x/out" << QStringList{"xdg-open", "./-x/out"};
        QTest::newRow("bytes not UTF-8") << TlxFileName::Decode("/out/Pr\xe4s 1.emf")
                                         << QStringList{"xdg-open", "file:///out/Pr%E4s%201.emf"};
        QTest::newRow("empty opens nothing") << "" << QStringList{};
    }
    void shellCommandIsAnArgumentVector() {
        QFETCH(QString, target);
        QFETCH(QStringList, command);
        QCOMPARE(XdgShell::CommandFor(target), command);
    }
};

QTEST_GUILESS_MAIN(TestInfo)
#include "tst_info.moc"
