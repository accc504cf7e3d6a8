// The preview pane with the real office: a window run converts a sample deck, the office draws the small
// pictures, the pane shows one per slide; the window is saved as a picture for the README.
#include "engine/lxVORLANE.h"
#include "platform/office/OfficeServer.h"
#include "project/lxProject.h"
#include "ui/lxFormMain.h"
#include "ui/lxPreviewPane.h"
#include "ui/lxResultModel.h"
#include "ui/lxToggleAction.h"

#include "RecordingShell.h"
#include "ScriptedDialogs.h"
#include "TestSupport.h"
#include "GlobalObjects.h"

#include <QDir>
#include <QImageReader>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <QTreeView>

class TestPreviewShot : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void officeDrawsEverySlide() {
        RegisterOfficeServer();
        GlobalObjects env;
        ScriptedDialogs dialogs;
        RecordingShell shell;
        lxProject->ConverterClass = TlxVORLANE::Class();
        // Another deck beside it, to show the list with more than one row.
        const QString in = env.path(QStringLiteral("in"));
        QDir().mkpath(in);
        for (const char *deck : {"quarterly-report.fodp", "shapes.fodp"})
            QVERIFY(QFile::copy(QStringLiteral(VORLANE_SOURCE_DIR "/samples/") + deck, in + u'/' + deck));
        TlxFrmMain main;
        main.resize(1100, 560);
        main.show();
        main.aPreview->setChecked(true);
        main.eSource->setText(in + QStringLiteral("/*.fodp"));
        main.eTarget->setText(env.path(QStringLiteral("out")));
        main.aConvert->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!main.Running() && main.aConvert->isEnabled(), 120000);
        main.Results()->Flush();
        QCOMPARE(main.Results()->rowCount(), 2);
        QCOMPARE(main.Results()->Done(), 2);
        main.lViewer->setCurrentIndex(main.Results()->index(0, 0));
        QTRY_COMPARE(main.Preview()->Loading(), 0);
        QCOMPARE(main.Preview()->Strip()->count(), 3); // quarterly-report has three slides
        // The office's pictures, at the pane's width.
        const QList<TlxPreviewCache::Entry> entries =
            main.Previews()->Entries(in + QStringLiteral("/quarterly-report.fodp"));
        QCOMPARE(entries.size(), 3);
        for (const TlxPreviewCache::Entry &e : entries)
            QCOMPARE(QImageReader(e.picture).size().width(), TlxPreviewCache::kWidth);
        const QString shots = QStringLiteral(VORLANE_BINARY_DIR "/screenshots");
        QDir().mkpath(shots);
        QVERIFY(main.grab().save(shots + QStringLiteral("/preview-pane.png")));
    }
};

QTEST_MAIN(TestPreviewShot)
#include "tst_previewshot.moc"
