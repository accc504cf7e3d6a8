#include "project/lxApp.h"
#include "project/lxShellDialogs.h"

#include "ScriptedDialogs.h"

#include <QTest>

// The program's path and first parameter, and the dialog routines' arguments and results.
class TestApp : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void firstParam_data() {
        QTest::addColumn<QString>("tail");
        QTest::addColumn<QString>("first");
        QTest::newRow("none") << ""
                              << "";
        QTest::newRow("blanks only") << "   "
                                     << "";
        QTest::newRow("plain") << "-U extra"
                               << "-U";
        QTest::newRow("quoted with blank") << "\"/My Decks/a.pptx\" second"
                                           << "/My Decks/a.pptx";
        QTest::newRow("quotes inside") << "-P:Source=\"/a b\";Target=/o x"
                                       << "-P:Source=/a b;Target=/o";
        QTest::newRow("leading blanks") << "   x"
                                        << "x";
        QTest::newRow("empty quotes") << "\"\" b"
                                      << "";
    }
    void firstParam() {
        QFETCH(QString, tail);
        QFETCH(QString, first);
        const TlxApp app(QStringLiteral("/opt/q/vorlane"), tail);
        QCOMPARE(app.FirstParam, first);
        QCOMPARE(app.ExePath, QStringLiteral("/opt/q/vorlane"));
    }

    void runningProgram() {
        char name[] = "prog";
        char param[] = "/My Decks/a.pptx";
        char *argv[] = {name, param, nullptr};
        const TlxApp app(2, argv);
        QCOMPARE(app.FirstParam, QStringLiteral("/My Decks/a.pptx"));
        QVERIFY(app.ExePath.endsWith(QStringLiteral("tst_app")));
    }

    void browseForFolder() {
        ScriptedDialogs dialogs;
        dialogs.cancel();
        QCOMPARE(BrowseForFolder(QString()), QString());
        QCOMPARE(dialogs.calls.last().initialFolder, QString());
        dialogs.cancel();
        QCOMPARE(BrowseForFolder(QStringLiteral("/data")), QStringLiteral("/data"));
        QCOMPARE(dialogs.calls.last().initialFolder, QStringLiteral("/data"));
        QCOMPARE(BrowseInitialFolder, QStringLiteral("/data"));
        dialogs.answer({QStringLiteral("/chosen")});
        QCOMPARE(BrowseForFolder(QStringLiteral("/data")), QStringLiteral("/chosen"));
    }

    void openFileDialog() {
        ScriptedDialogs dialogs;
        QString name = QStringLiteral("/decks/*.ppt?");
        dialogs.cancel();
        QVERIFY(!OpenFileDialog(QStringLiteral("P|*.ppt"), name, true));
        QCOMPARE(name, QStringLiteral("/decks/*.ppt?"));
        QCOMPARE(dialogs.calls.last().initialFolder, QStringLiteral("/decks/"));
        QCOMPARE(dialogs.calls.last().initialName, QStringLiteral("*.ppt*"));
        QVERIFY(dialogs.calls.last().multiSelect);

        dialogs.answer({QStringLiteral("/d/a.ppt"), QStringLiteral("/d/b.ppt"), QStringLiteral("/d/c.ppt")});
        QVERIFY(OpenFileDialog(QStringLiteral("P|*.ppt"), name, true));
        QCOMPARE(name, QStringLiteral("/d/a.ppt\r\n/d/b.ppt\r\n/d/c.ppt\r\n"));

        dialogs.answer({QStringLiteral("/d/one.pptx")});
        name.clear();
        QVERIFY(OpenFileDialog(QStringLiteral("P|*.ppt"), name, false));
        QCOMPARE(name, QStringLiteral("/d/one.pptx"));
        QCOMPARE(dialogs.calls.last().initialFolder, QString());
    }

    void saveFileDialog() {
        ScriptedDialogs dialogs;
        QString name = QStringLiteral("/logs/run.log");
        dialogs.cancel();
        QVERIFY(!SaveFileDialog(QStringLiteral("Log File|*.log"), QStringLiteral(".log"), name));
        QCOMPARE(name, QStringLiteral("/logs/run.log"));
        QCOMPARE(dialogs.calls.last().defaultExt, QStringLiteral(".log"));
        QCOMPARE(dialogs.calls.last().initialName, QStringLiteral("run.log"));
        dialogs.answer({QStringLiteral("/logs/other.log")});
        QVERIFY(SaveFileDialog(QStringLiteral("Log File|*.log"), QStringLiteral(".log"), name));
        QCOMPARE(name, QStringLiteral("/logs/other.log"));
    }

    void noDialogsInstalled() {
        QString name = QStringLiteral("x");
        QVERIFY(!OpenFileDialog(QString(), name, false));
        QVERIFY(!SaveFileDialog(QString(), QString(), name));
        QCOMPARE(BrowseForFolder(QStringLiteral("/f")), QStringLiteral("/f"));
    }
};

QTEST_MAIN(TestApp)
#include "tst_app.moc"
