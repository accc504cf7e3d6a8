// The main window with real widgets: title, folder choice, view, project actions, recent menu, links, first show.
#include "RecordingShell.h"
#include "ScriptedDialogs.h"
#include "TestSupport.h"
#include "GlobalObjects.h"

#include "info/lxInfo.h"
#include "project/lxProject.h"
#include "ui/QtShellDialogs.h"
#include "ui/lxFormCfg.h"
#include "ui/lxFormMain.h"
#include "ui/lxVorlaneAbout.h"
#include "ui/lxWindowedStart.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>

#include <memory>

class TestFormMain : public QObject {
    Q_OBJECT

    std::unique_ptr<GlobalObjects> m_env;

    // Runs f on the modal dialog that the next exec() opens.
    template <class F> static void whenModal(F f) {
        QTimer::singleShot(0, [f] {
            QWidget *modal = QApplication::activeModalWidget();
            QVERIFY(modal);
            f(modal);
        });
    }

private slots:
    void init() { m_env = std::make_unique<GlobalObjects>(); }
    void cleanup() { m_env.reset(); }

    void startupProjectFillsBoundControls() {
        const QString project = m_env->exePath() + QStringLiteral(".batch-vorlane");
        QVERIFY(TestSupport::writeAll(project, "Source=/in/*.ppt?\r\nSubdir=True\r\nTarget=/out/\r\n"));
        ScriptedDialogs dialogs;
        TlxFrmMain main;
        QCOMPARE(main.eSource->text(), QStringLiteral("/in/*.ppt?"));
        QVERIFY(main.cSubdir->isChecked());
        QCOMPARE(main.eTarget->text(), QStringLiteral("/out/"));
        QCOMPARE(main.windowTitle(), QStringLiteral("Quillon Converter - ") + project);
        QCOMPARE(main.eSource->property("hint").toString(), QStringLiteral("Text"));
        QCOMPARE(main.cSubdir->property("hint").toString(), QStringLiteral("Checked"));
        QVERIFY(main.eSource->toolTip().isEmpty());
    }

    void titleFollowsProjectActions() {
        ScriptedDialogs dialogs;
        TlxFrmMain main;
        main.aNew->trigger();
        QCOMPARE(main.windowTitle(), QStringLiteral("Quillon Converter - None"));
        QVERIFY(main.eSource->text().isEmpty());

        main.eTarget->setText(QStringLiteral("/out/"));
        const QString saved = m_env->path(QStringLiteral("a.batch-vorlane"));
        dialogs.answer({saved});
        main.aSaveAs->trigger();
        QCOMPARE(main.windowTitle(), QStringLiteral("Quillon Converter - ") + saved);
        QVERIFY(TestSupport::readAll(saved).contains("Target=/out/\r\n"));

        dialogs.cancel(); // a cancelled Open leaves the project, the title is refreshed all the same
        main.aOpen->trigger();
        QCOMPARE(main.windowTitle(), QStringLiteral("Quillon Converter - ") + saved);
        QCOMPARE(dialogs.calls.last().kind, QStringLiteral("open"));
    }

    void chooseSourceFolder_data() {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("target");
        QTest::addColumn<bool>("autoTarget");
        QTest::addColumn<QString>("answer"); // empty: cancel
        QTest::addColumn<QString>("preselected");
        QTest::addColumn<QString>("newSource");
        QTest::addColumn<QString>("newTarget");
        QTest::newRow("chosen, empty target follows") << "/old/x.pptx"
                                                      << "" << true << "/d/Decks"
                                                      << "/old/"
                                                      << "/d/Decks/*.ppt?"
                                                      << "/d/Decks/";
        QTest::newRow("chosen, target kept") << "/old/x.pptx"
                                             << "/keep/" << true << "/d/Decks/"
                                             << "/old/"
                                             << "/d/Decks/*.ppt?"
                                             << "/keep/";
        QTest::newRow("chosen, no auto target") << "/old/x.pptx"
                                                << "" << false << "/d/Decks"
                                                << "/old/"
                                                << "/d/Decks/*.ppt?"
                                                << "";
        QTest::newRow("cancelled keeps the folder, resets the mask") << "/old/x.pptx"
                                                                     << "" << true << ""
                                                                     << "/old/"
                                                                     << "/old/*.ppt?"
                                                                     << "/old/";
        QTest::newRow("cancelled over nothing, target not the root") << ""
                                                                     << "" << true << ""
                                                                     << ""
                                                                     << "/*.ppt?"
                                                                     << "";
    }
    void chooseSourceFolder() {
        QFETCH(QString, source);
        QFETCH(QString, target);
        QFETCH(bool, autoTarget);
        QFETCH(QString, answer);
        QFETCH(QString, preselected);
        QFETCH(QString, newSource);
        QFETCH(QString, newTarget);
        ScriptedDialogs dialogs;
        TlxFrmMain main;
        lxProject->AutoTarget = autoTarget;
        main.eSource->setText(source);
        main.eTarget->setText(target);
        if (answer.isEmpty())
            dialogs.cancel();
        else
            dialogs.answer({answer});
        QTest::mouseClick(main.bSource, Qt::LeftButton);
        QCOMPARE(dialogs.calls.size(), 1);
        QCOMPARE(dialogs.calls.first().initialFolder, preselected);
        QCOMPARE(main.eSource->text(), newSource);
        QCOMPARE(main.eTarget->text(), newTarget);
    }

    void chooseTargetFolder_data() {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("answer"); // empty: cancel
        QTest::addColumn<bool>("doubleClick");
        QTest::addColumn<QString>("newTarget");
        QTest::newRow("button") << ""
                                << "/out" << false << "/out/";
        QTest::newRow("double-click") << "/x/"
                                      << "/d/Out" << true << "/d/Out/";
        QTest::newRow("already ends in a delimiter") << ""
                                                     << "/out/" << false << "/out/";
        QTest::newRow("cancelled") << "/x/y"
                                   << "" << false << "/x/y/";
        QTest::newRow("cancelled over nothing stays empty") << ""
                                                            << "" << false << "";
    }
    void chooseTargetFolder() {
        QFETCH(QString, target);
        QFETCH(QString, answer);
        QFETCH(bool, doubleClick);
        QFETCH(QString, newTarget);
        ScriptedDialogs dialogs;
        TlxFrmMain main;
        main.eTarget->setText(target);
        if (answer.isEmpty())
            dialogs.cancel();
        else
            dialogs.answer({answer});
        if (doubleClick)
            QTest::mouseDClick(main.eTarget, Qt::LeftButton);
        else
            QTest::mouseClick(main.bTarget, Qt::LeftButton);
        QCOMPARE(dialogs.calls.size(), 1);
        QCOMPARE(dialogs.calls.first().initialFolder, target);
        QCOMPARE(main.eTarget->text(), newTarget);
    }

    void viewOpensTargetOrFocusesIt() {
        ScriptedDialogs dialogs;
        RecordingShell shell;
        TlxFrmMain main;
        main.show();
        QVERIFY(QTest::qWaitForWindowActive(&main));
        main.eSource->setFocus();
        main.eTarget->clear();
        QTest::mouseClick(main.bView, Qt::LeftButton);
        QVERIFY(shell.targets.isEmpty());
        QTRY_VERIFY(main.eTarget->hasFocus());
        main.eTarget->setText(QStringLiteral("/out/My Slides/"));
        main.ViewOutput1->trigger();
        QCOMPARE(shell.targets, QStringList{QStringLiteral("/out/My Slides/")});
    }

    void configEditsReachTheTargetEdit() {
        ScriptedDialogs dialogs;
        TlxFrmMain main;
        main.eTarget->setText(QStringLiteral("/before/"));
        whenModal([](QWidget *modal) {
            auto *cfg = qobject_cast<TlxFrmCfg *>(modal);
            QVERIFY(cfg);
            QVERIFY(cfg->txtCfg->toPlainText().contains(QStringLiteral("Target=/before/")));
            cfg->txtCfg->setPlainText(
                cfg->txtCfg->toPlainText().replace(QStringLiteral("/before/"), QStringLiteral("/after/")));
            QTest::mouseClick(cfg->btnCancel, Qt::LeftButton);
        });
        main.aConfig->trigger();
        QCOMPARE(main.eTarget->text(), QStringLiteral("/before/"));
        QCOMPARE(lxProject->Target(), QStringLiteral("/before/"));
        TlxFrmCfg *first = main.FrmCfg();

        whenModal([](QWidget *modal) {
            auto *cfg = qobject_cast<TlxFrmCfg *>(modal);
            QVERIFY(cfg);
            cfg->txtCfg->setPlainText(
                cfg->txtCfg->toPlainText().replace(QStringLiteral("/before/"), QStringLiteral("/after/")));
            QTest::mouseClick(cfg->btnOk, Qt::LeftButton);
        });
        main.aConfig->trigger();
        QCOMPARE(main.eTarget->text(), QStringLiteral("/after/"));
        QCOMPARE(main.FrmCfg(), first); // made once, kept
    }

    void recentMenuIsRebuiltOnEveryOpening() {
        ScriptedDialogs dialogs;
        TlxFrmMain main;
        const QString present = m_env->path(QStringLiteral("a & b.batch-vorlane"));
        const QString missing = m_env->path(QStringLiteral("gone.batch-vorlane"));
        QVERIFY(TestSupport::writeAll(present, "Source=/recent/*.ppt?\r\nTarget=/recent-out/\r\n"));
        lxProject->RecentFiles = {present, missing};
        QCOMPARE(main.tbOpen->menu(), main.pm2);
        QCOMPARE(main.tbOpen->popupMode(), QToolButton::MenuButtonPopup);

        main.pm2Popup();
        QList<QAction *> items = main.pm2->actions();
        QCOMPARE(items.size(), 2);
        QCOMPARE(items.at(0)->data().toString(), present);
        QCOMPARE(items.at(0)->text(), QString(present).replace(u'&', QStringLiteral("&&"))); // shown as it is
        QVERIFY(items.at(0)->isEnabled());
        QCOMPARE(items.at(1)->data().toString(), missing);
        QVERIFY(!items.at(1)->isEnabled());

        lxProject->RecentFiles.prepend(m_env->path(QStringLiteral("new.batch-vorlane")));
        main.pm2Popup();
        QCOMPARE(main.pm2->actions().size(), 3);

        main.RecentProjectClick(main.pm2->actions().at(1));
        QCOMPARE(lxProject->FileName, present);
        QCOMPARE(main.eSource->text(), QStringLiteral("/recent/*.ppt?"));
        QCOMPARE(main.windowTitle(), QStringLiteral("Quillon Converter - ") + present);
    }

    void linkActions() {
        ScriptedDialogs dialogs;
        RecordingShell shell;
        TlxFrmMain main;
        main.aHelp->trigger();
        main.aHomePage->trigger();
        main.aSupports->trigger();
        main.aUpdate->trigger();
        QCOMPARE(shell.targets.size(), 4);
        QCOMPARE(shell.targets.at(0), m_env->exePath() + QStringLiteral(".pdf"));
        QCOMPARE(lxInfo->StatValue(QStringLiteral("H")), QStringLiteral("1"));
        QVERIFY(shell.targets.at(1).startsWith(TlxInfo::HomeUrl + QStringLiteral("?p=vorlane&")));
        QVERIFY(shell.targets.at(2).startsWith(QStringLiteral("mailto:")));
        QVERIFY(shell.targets.at(3).startsWith(TlxInfo::HomeUrl + QStringLiteral("/en/vorlane/download.htm?p=")));
    }

    // A project file that cannot be written is an error reaching the window: counted and reported, the window
    // goes on.
    void saveErrorGoesToTheErrorReport() {
        ScriptedDialogs dialogs;
        RecordingShell shell;
        TlxFrmMain main;
        const QString folder = m_env->path(QStringLiteral("taken.batch-vorlane"));
        QVERIFY(QDir().mkpath(folder));
        dialogs.answer({folder});
        main.aSaveAs->trigger();
        QCOMPARE(lxInfo->StatValue(QStringLiteral("E")), QStringLiteral("1"));
        QCOMPARE(shell.targets.size(), 1);
        QVERIFY(shell.targets.first().startsWith(TlxInfo::HomeUrl + QStringLiteral("/net/?a=err&e=")));
    }

    void firstShowStartsAnUnattendedRunOnce() {
        ScriptedDialogs dialogs;
        TlxFrmMain main;
        int converts = 0;
        connect(main.aConvert, &QAction::triggered, this, [&converts] { ++converts; });
        lxProject->SetOption(QStringLiteral("RunAndClose"), QStringLiteral("True"));
        main.show();
        QVERIFY(main.FShownOnce);
        QCOMPARE(converts, 1);
        main.hide();
        main.show();
        QCOMPARE(converts, 1);
    }

    void firstShowOfAnAttendedProjectRunsNothing() {
        ScriptedDialogs dialogs;
        TlxFrmMain main;
        int converts = 0;
        connect(main.aConvert, &QAction::triggered, this, [&converts] { ++converts; });
        main.show();
        QCOMPARE(converts, 0);
    }

    void layoutAndComponents() {
        ScriptedDialogs dialogs;
        TlxFrmMain main;
        QCOMPARE(main.size(), QSize(1200, 600));
        QCOMPARE(main.bCreate->defaultAction(), main.aConvert);
        QCOMPARE(main.bSearchConvert->defaultAction(), main.aSearchConvert);
        QVERIFY(main.bSearchConvert->isHidden());
        main.SetButtonAction(main.bSearchConvert, main.aStop); // what a run does
        QVERIFY(!main.bSearchConvert->isHidden());
        QCOMPARE(main.bSearchConvert->text(), QStringLiteral("Stop")); // tool buttons show the caption without its "&"
        QCOMPARE(main.lViewer->model()->columnCount(), 3);
        QCOMPARE(main.lViewer->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("@"));
        QCOMPARE(main.lViewer->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("File Name"));
        QCOMPARE(main.lViewer->model()->headerData(2, Qt::Horizontal).toString(), QStringLiteral("Result"));
        QStringList menu;
        for (QAction *item : main.pm1->actions())
            menu << (item->isSeparator() ? QStringLiteral("-") : item->text());
        QCOMPARE(menu, (QStringList{"Browse Files", "-", "View  Source", "Open Source", "-", "View  Output", "-",
                                    "Export the List"}));
        QCOMPARE(main.tb1->isSeparator(), true);
        QCOMPARE(main.tbConfig->defaultAction(), main.aConfig);
    }

    void realDialogsAreInstalledOnlyWhenNoneAre() {
        {
            ScriptedDialogs dialogs;
            TlxFrmMain main;
            QCOMPARE(IShellDialogs::current(), &dialogs);
        }
        {
            TlxFrmMain main;
            QVERIFY(dynamic_cast<QtShellDialogs *>(IShellDialogs::current()));
        }
        QVERIFY(!IShellDialogs::current());
    }

    void windowedStartRunsUntilTheMainWindowCloses() {
        ScriptedDialogs dialogs;
        bool wasVisible = false;
        QTimer::singleShot(0, [&wasVisible] {
            QVERIFY(lxFrmMain && lxFrmVorlaneAbout);
            QCOMPARE(lxFrmVorlaneAbout->FShowCount, 1);
            wasVisible = lxFrmMain->isVisible();
            lxFrmMain->close();
        });
        QCOMPARE(RunWindowed(*qApp), 0);
        QVERIFY(wasVisible);
        QVERIFY(!lxFrmMain);
        QVERIFY(!lxFrmVorlaneAbout);
    }
};

QTEST_MAIN(TestFormMain)
#include "tst_formmain.moc"
