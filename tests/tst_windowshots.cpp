// Pictures of the windows as a user sees them (written to <build>/screenshots), and the layout checks that keep
// the main window usable from its design size down to a small one.
#include "GlobalObjects.h"

#include "project/lxProject.h"
#include "ui/lxFormCfg.h"
#include "ui/lxFormMain.h"
#include "ui/lxImageList.h"
#include "ui/lxResultModel.h"
#include "ui/lxVorlaneAbout.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>

#include <memory>

class TestWindowShots : public QObject {
    Q_OBJECT

    std::unique_ptr<GlobalObjects> m_env;
    QString m_outDir;

    void save(QWidget *w, const QString &name) {
        QVERIFY(w->grab().save(m_outDir + u'/' + name + QStringLiteral(".png")));
    }

    // Every visible control of the two rows lies inside its row and no two of them overlap.
    static void checkRow(QWidget *row) {
        QList<QRect> rects;
        for (QWidget *child : row->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            if (!child->isVisible())
                continue;
            const QRect r = child->geometry();
            QVERIFY2(row->rect().contains(r), qPrintable(child->objectName() + QStringLiteral(" is cut off")));
            QVERIFY2(r.width() > 0 && r.height() > 0, qPrintable(child->objectName()));
            for (const QRect &other : std::as_const(rects))
                QVERIFY2(!other.intersects(r), qPrintable(child->objectName() + QStringLiteral(" overlaps")));
            rects << r;
        }
    }

private slots:
    void initTestCase() {
        m_outDir = QStringLiteral(VORLANE_BINARY_DIR "/screenshots");
        QDir().mkpath(m_outDir);
    }
    void init() { m_env = std::make_unique<GlobalObjects>(); }
    void cleanup() { m_env.reset(); }

    void imageList() {
        QImage sheet(16 * 15 + 32 * 15 + 40, 40, QImage::Format_ARGB32);
        sheet.fill(Qt::white);
        QPainter p(&sheet);
        int drawn = 0;
        for (int i = 0; i < TlxImageList::Count; ++i) {
            const QIcon icon = TlxImageList::Icon(i);
            if (icon.isNull())
                continue;
            ++drawn;
            p.drawPixmap(4 + i * 16, 4, icon.pixmap(16, 16));
            p.drawPixmap(24 + 15 * 16 + i * 32, 4, icon.pixmap(32, 32));
        }
        p.end();
        QCOMPARE(drawn, 14);
        QVERIFY(!TlxImageList::Icon(TlxImageList::Failure).pixmap(16, 16).toImage().isNull());
        QVERIFY(sheet.save(m_outDir + QStringLiteral("/images.png")));
    }

    void mainWindow_data() {
        QTest::addColumn<QSize>("size");
        QTest::newRow("design size") << QSize(1200, 600);
        QTest::newRow("small") << QSize(760, 360);
        QTest::newRow("wide") << QSize(1600, 700);
    }
    void mainWindow() {
        QFETCH(QSize, size);
        TlxFrmMain main;
        main.eSource->setText(QStringLiteral("/home/user/Decks/*.ppt?"));
        main.eTarget->setText(QStringLiteral("/home/user/Slides/"));
        main.cSubdir->setChecked(true);
        const QStringList files = {QStringLiteral("/home/user/Decks/Quarterly review.pptx"),
                                   QStringLiteral("/home/user/Decks/Launch plan.ppt"),
                                   QStringLiteral("/home/user/Decks/Broken deck.pptx")};
        const QStringList results = {QString(), QStringLiteral("/home/user/Slides/Launch plan.emf"),
                                     QStringLiteral("The file is damaged and cannot be opened")};
        for (int i = 0; i < files.size(); ++i) {
            TlxResultModel::Update row;
            row.generation = main.Results()->Generation();
            row.index = i;
            row.file = files.at(i);
            row.status = i;
            row.result = results.at(i);
            row.hasResult = i > 0;
            row.converted = true;
            main.Results()->Post(row);
        }
        main.Results()->Flush();
        main.resize(size);
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        QCOMPARE(main.size(), size);
        save(&main, QStringLiteral("main-%1x%2").arg(size.width()).arg(size.height()));

        checkRow(main.pSource);
        checkRow(main.pTarget);
        // Buttons of the two rows stand in columns.
        QCOMPARE(main.bSource->x(), main.bTarget->x());
        QCOMPARE(main.bSourceFile->x(), main.bView->x());
        QCOMPARE(main.bSearch->x(), main.bCreate->x());
        QCOMPARE(main.eSource->width(), main.eTarget->width());
        QVERIFY(main.eSource->width() >= 200);
        // The list takes the rest of the window.
        QVERIFY(main.lViewer->height() > size.height() / 3);
        for (QToolButton *tb : {main.tbOpen, main.tbNew, main.tbConfig, main.tbSave, main.tbSaveAs, main.tbUpdate,
                                main.tbHelp, main.tbHomePage, main.tbSupports, main.tbAbout}) {
            QVERIFY(tb);
            QVERIFY(!tb->icon().isNull());
        }
    }

    void configDialog() {
        TlxFrmMain main;
        main.eSource->setText(QStringLiteral("/home/user/Decks/*.ppt?"));
        main.eTarget->setText(QStringLiteral("/home/user/Slides/"));
        lxProject->SetOption(QStringLiteral("ThreadsCount"), QStringLiteral("2"));
        lxProject->SetOption(QStringLiteral("IsOverwrite"), QStringLiteral("True"));
        TlxFrmCfg cfg(&main);
        cfg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&cfg));
        save(&cfg, QStringLiteral("config"));
        QVERIFY(cfg.btnHelp->geometry().right() < cfg.btnOk->geometry().left());
        QVERIFY(cfg.btnOk->geometry().right() < cfg.btnCancel->geometry().left());
        QVERIFY(cfg.rect().contains(cfg.btnCancel->geometry()));
    }

    void aboutWindow() {
        lxProject->Title = QStringLiteral("Quillon & Co Converter");
        TlxFrmVorlaneAbout about;
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        save(&about, QStringLiteral("about"));
        QCOMPARE(about.size(), QSize(472, 243));
        QVERIFY(!about.img->pixmap().isNull());
        about.close();
    }
};

QTEST_MAIN(TestWindowShots)
#include "tst_windowshots.moc"
