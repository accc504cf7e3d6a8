// The Config dialog on a real main window: the option text, Ok, Cancel and Help.
#include "RecordingShell.h"
#include "ScriptedDialogs.h"
#include "GlobalObjects.h"

#include "project/lxProject.h"
#include "ui/lxFormCfg.h"
#include "ui/lxFormMain.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

#include <memory>

class TestFormCfg : public QObject {
    Q_OBJECT

    std::unique_ptr<GlobalObjects> m_env;
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    std::unique_ptr<TlxFrmMain> m_main;

private slots:
    void init() {
        m_env = std::make_unique<GlobalObjects>();
        m_dialogs = std::make_unique<ScriptedDialogs>();
        m_main = std::make_unique<TlxFrmMain>();
        lxProject->SetOptions({QStringLiteral("ThreadsCount=2"), QStringLiteral("Target=/old/")});
        lxProject->OptionsToControls();
    }
    void cleanup() {
        m_main.reset();
        m_dialogs.reset();
        m_env.reset();
    }

    void showTakesTheControlsFirst() {
        m_main->eSource->setText(QStringLiteral("/typed/*.ppt?"));
        m_main->cSubdir->setChecked(true);
        TlxFrmCfg cfg(m_main.get());
        QCOMPARE(cfg.windowTitle(), QStringLiteral("Config"));
        cfg.show();
        // The output options the project does not set are offered with their defaults.
        QCOMPARE(cfg.txtCfg->toPlainText(), QStringLiteral("ThreadsCount=2\nTarget=/old/\nSource=/typed/*.ppt?\n"
                                                           "Subdir=True\nFormat=emf\nSlides=all\nImageResolution=220\n"
                                                           "PngWidth=1920"));
        cfg.hide();
        lxProject->SetOption(QStringLiteral("format"), QStringLiteral("svg"));
        cfg.show();
        QVERIFY(cfg.txtCfg->toPlainText().contains(QLatin1String("format=svg\nSlides=all")));
        QVERIFY(!cfg.txtCfg->toPlainText().contains(QLatin1String("Format=emf")));
        QVERIFY(!cfg.isSizeGripEnabled());
        QCOMPARE(cfg.minimumSize(), cfg.maximumSize()); // not resizable
    }

    void okAndCancel_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("target");
        QTest::addColumn<bool>("subdir");
        const QString edited = QStringLiteral("Target=/new/\nno equals sign\nSubdir=1\nThreadsCount=3");
        QTest::newRow("ok replaces, unsorted, unvalidated")
            << edited << true << QStringList{"Target=/new/", "no equals sign", "Subdir=1", "ThreadsCount=3"} << "/new/"
            << true;
        QTest::newRow("cancel changes nothing")
            << edited << false << QStringList{"ThreadsCount=2", "Target=/old/", "Subdir=False"} << "/old/" << false;
        QTest::newRow("ok with an emptied target empties the edit")
            << QStringLiteral("ThreadsCount=2") << true << QStringList{"ThreadsCount=2"} << "" << false;
    }
    void okAndCancel() {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(QStringList, options);
        QFETCH(QString, target);
        QFETCH(bool, subdir);
        TlxFrmCfg cfg(m_main.get());
        cfg.show();
        cfg.txtCfg->setPlainText(text);
        QTest::mouseClick(ok ? cfg.btnOk : cfg.btnCancel, Qt::LeftButton);
        QVERIFY(!cfg.isVisible());
        QCOMPARE(cfg.result(), ok ? int(QDialog::Accepted) : int(QDialog::Rejected));
        QCOMPARE(lxProject->Options(), options);
        QCOMPARE(m_main->eTarget->text(), target);
        QCOMPARE(m_main->cSubdir->isChecked(), subdir);
    }

    void helpOpensTheHelpAndStaysOpen() {
        RecordingShell shell;
        TlxFrmCfg cfg(m_main.get());
        cfg.show();
        QTest::mouseClick(cfg.btnHelp, Qt::LeftButton);
        QCOMPARE(shell.targets, QStringList{m_env->exePath() + QStringLiteral(".pdf")});
        QVERIFY(cfg.isVisible());
        QCOMPARE(cfg.btnHelp->toolTip(), QStringLiteral("Click here to see the details about the options"));
    }
};

QTEST_MAIN(TestFormCfg)
#include "tst_formcfg.moc"
