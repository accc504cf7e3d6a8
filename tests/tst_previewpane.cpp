// The preview pane of the real main window, offscreen, with the scriptable presentation application: the slides
// of a converted row, the message of a failed one, the outputs of a skipped one, the toggle the project keeps and
// the cache that goes with the window.
#include "base/lxFileName.h"
#include "engine/lxVORLANE.h"
#include "project/lxProject.h"
#include "ui/lxFormMain.h"
#include "ui/lxPreviewPane.h"
#include "ui/lxResultModel.h"
#include "ui/lxToggleAction.h"

#include "FakePowerPoint.h"
#include "RecordingShell.h"
#include "ScriptedDialogs.h"
#include "TestSupport.h"
#include "GlobalObjects.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <QToolButton>
#include <QTreeView>

#include <memory>

class TestPreviewPane : public QObject {
    Q_OBJECT

    std::unique_ptr<GlobalObjects> m_env;
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    std::unique_ptr<RecordingShell> m_shell;
    std::unique_ptr<TlxFrmMain> m_main;

    // Converts in/good.pptx (three slides) and in/bad.pptx (its save fails) with the pane shown.
    void convert() {
        TestSupport::writeAll(m_env->path(QStringLiteral("in/bad.pptx")), "x");
        TestSupport::writeAll(m_env->path(QStringLiteral("in/good.pptx")), "x");
        FakePowerPoint::script().slideCount = 3;
        FakePowerPoint::script().failSaveAs = {m_env->path(QStringLiteral("out/bad.emf"))};
        runWithPane();
        QCOMPARE(m_main->Results()->rowCount(), 2);
    }
    // Converts in/*.ppt? into out/ with the pane shown and waits for the run's end.
    void runWithPane() {
        m_main->aPreview->setChecked(true);
        m_main->eSource->setText(m_env->path(QStringLiteral("in/*.ppt?")));
        m_main->eTarget->setText(m_env->path(QStringLiteral("out")));
        m_main->aConvert->trigger();
        QTRY_VERIFY(!m_main->Running() && m_main->aConvert->isEnabled());
        m_main->Results()->Flush();
    }
    void select(int row) {
        m_main->lViewer->setCurrentIndex(m_main->Results()->index(row, 0));
        QTRY_COMPARE(m_main->Preview()->Loading(), 0);
    }
    QStringList labels() const {
        QStringList texts;
        for (int i = 0; i < m_main->Preview()->Strip()->count(); ++i)
            texts << m_main->Preview()->Strip()->item(i)->text();
        return texts;
    }

private Q_SLOTS:
    void init() {
        m_env = std::make_unique<GlobalObjects>();
        m_dialogs = std::make_unique<ScriptedDialogs>();
        m_shell = std::make_unique<RecordingShell>();
        FakePowerPoint::Install();
        lxProject->ConverterClass = TlxVORLANE::Class();
        m_main = std::make_unique<TlxFrmMain>();
        m_main->resize(1200, 700);
        m_main->show();
    }
    void cleanup() {
        m_main.reset();
        FakePowerPoint::Uninstall();
        m_shell.reset();
        m_dialogs.reset();
        m_env.reset();
    }

    void convertedRowShowsItsSlides() {
        convert();
        QVERIFY(m_main->Preview()->isVisible());
        select(1); // good.pptx
        QCOMPARE(labels(), (QStringList{"Slide 1", "Slide 2", "Slide 3"}));
        const QListWidgetItem *second = m_main->Preview()->Strip()->item(1);
        QVERIFY(!second->icon().pixmap(240, 180).toImage().isNull());
        QVERIFY(m_main->Preview()->Message()->text().contains(QLatin1String("3 slide")));
        // The office was asked for each written slide, at the pane's width, into the cache, never the target.
        const QStringList asked = FakePowerPoint::Log().filter(QStringLiteral("ExportPng"));
        QCOMPARE(asked.size(), 3);
        const QString cache = m_main->Previews()->Folder();
        QVERIFY(asked.first().contains(cache) && asked.first().endsWith(QLatin1String(" 240")));
        QCOMPARE(QDir(m_env->path(QStringLiteral("out"))).entryList(QDir::Files),
                 (QStringList{"good.emf"})); // the fake writes slide 1's file only

        // Double-click opens that slide's output.
        QListWidget *strip = m_main->Preview()->Strip();
        strip->scrollToItem(strip->item(1));
        QApplication::processEvents(); // the strip lays its items out
        const QRect rect = strip->visualItemRect(strip->item(1));
        QVERIFY(strip->viewport()->rect().contains(rect.center()));
        m_shell->targets.clear(); // the run's end reported its failure through the shell
        QTest::mouseClick(strip->viewport(), Qt::LeftButton, {}, rect.center());
        QTest::mouseDClick(strip->viewport(), Qt::LeftButton, {}, rect.center());
        QCOMPARE(m_shell->targets, QStringList{m_env->path(QStringLiteral("out/good-2.emf"))});

        select(0); // bad.pptx
        QVERIFY(strip->isHidden());
        QVERIFY2(m_main->Preview()->Message()->text().contains(QLatin1String("Cannot save")),
                 qPrintable(m_main->Preview()->Message()->text()));

        // The pictures go with the window.
        QVERIFY(QFileInfo(cache).isDir());
        m_main.reset();
        QVERIFY(!QFileInfo::exists(cache));
    }

    // A name whose bytes are not UTF-8: the list and the pane show them escaped, the row keeps them.
    void namesNotUtf8AreShownEscaped() {
        const QString file = m_env->path(TlxFileName::Decode("in/Pr\xe4s.pptx"));
        TestSupport::writeAll(file, "x");
        runWithPane();
        QCOMPARE(m_main->Results()->rowCount(), 1);
        QCOMPARE(TlxFileName::Encode(m_main->Results()->RowFile(0)), TlxFileName::Encode(file));
        const QString shown =
            m_main->Results()->data(m_main->Results()->index(0, TlxResultModel::ColFile), Qt::DisplayRole).toString();
        QVERIFY2(shown.endsWith(QLatin1String("/in/Pr\\xE4s.pptx")), qPrintable(shown));
        select(0);
        QVERIFY2(m_main->Preview()->Message()->text().contains(QLatin1String("Pr\\xE4s.pptx")),
                 qPrintable(m_main->Preview()->Message()->text()));
    }

    void skippedRowListsItsOutputs() {
        TestSupport::writeAll(m_env->path(QStringLiteral("out/good.emf")), "old");
        TestSupport::writeAll(m_env->path(QStringLiteral("out/good-2.emf")), "old");
        lxProject->SetOption(QStringLiteral("IsOverwrite"), QStringLiteral("skip"));
        convert();
        select(1);
        QCOMPARE(labels(), (QStringList{"good.emf", "good-2.emf"}));
        QVERIFY(m_main->Preview()->Message()->text().contains(QLatin1String("skipped")));
        QVERIFY(FakePowerPoint::Log().filter(QStringLiteral("ExportPng")).isEmpty());
    }

    void toggleIsKeptByTheProject() {
        QVERIFY(!m_main->aPreview->isChecked());
        QVERIFY(m_main->Preview()->isHidden());
        QVERIFY(m_main->tbPreview);
        // Off leaves no line in the project; on is kept like the other bound controls.
        lxProject->StoreOptions(false);
        QCOMPARE(lxProject->GetOption(QStringLiteral("Preview")), QString());
        QTest::mouseClick(m_main->tbPreview, Qt::LeftButton);
        QVERIFY(m_main->Preview()->isVisible());
        lxProject->StoreOptions(false);
        QCOMPARE(lxProject->GetOption(QStringLiteral("Preview")), QStringLiteral("True"));
        lxProject->SetOptions({QStringLiteral("Preview=0")});
        lxProject->OptionsToControls();
        QVERIFY(m_main->Preview()->isHidden());
        lxProject->SetOptions({QStringLiteral("preview=1")});
        lxProject->OptionsToControls();
        QVERIFY(m_main->aPreview->isChecked());
        QVERIFY(m_main->Preview()->isVisible());
    }
};

QTEST_MAIN(TestPreviewPane)
#include "tst_previewpane.moc"
