// The About window: start-up call, texts, and closing on any click or key.
#include "ScriptedDialogs.h"
#include "GlobalObjects.h"

#include "project/lxProject.h"
#include "ui/lxFormMain.h"
#include "ui/lxVorlaneAbout.h"

#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

class TestAbout : public QObject {
    Q_OBJECT

    std::unique_ptr<GlobalObjects> m_env;

private slots:
    void init() { m_env = std::make_unique<GlobalObjects>(); }
    void cleanup() { m_env.reset(); }

    void startupCallShowsNothing() {
        ScriptedDialogs dialogs;
        TlxFrmMain main;
        TlxFrmVorlaneAbout about(&main);
        about.ShowAbout();
        QCOMPARE(about.FShowCount, 1);
        QVERIFY(!about.isVisible());
        QCOMPARE(main.windowOpacity(), 1.0);
        QVERIFY(about.windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(about.windowOpacity(), 200.0 / 255.0);
    }

    // A console project kept in its window (a web source) runs with the window never seen.
    void pureConsoleHidesTheMainWindow() {
        ScriptedDialogs dialogs;
        TlxFrmMain main;
        lxProject->SetOption(QStringLiteral("PureConsole"), QStringLiteral("True"));
        TlxFrmVorlaneAbout about(&main);
        about.ShowAbout();
        QCOMPARE(main.windowOpacity(), 0.0);
        QVERIFY(main.testAttribute(Qt::WA_DontShowOnScreen));
        main.show();
        QVERIFY(main.FShownOnce); // it runs although nothing is shown
    }

    void texts() {
        lxProject->Title = QStringLiteral("Quillon & Co");
        TlxFrmVorlaneAbout about;
        about.show();
        QCOMPARE(about.lblProduct->text(), QStringLiteral("Quillon & Co"));
        QCOMPARE(about.lblProduct->textFormat(), Qt::PlainText); // the "&" is shown once, never a shortcut
        QVERIFY(!about.lblProduct->buddy());
        QCOMPARE(about.lblVersion->text(), QStringLiteral("2018.10.222.1802"));
        QVERIFY(!about.lblCopright->text().isEmpty());
        QCOMPARE(about.img->geometry(), QRect(16, 16, 128, 128));
        QVERIFY(!about.img->pixmap().isNull());
        about.close();
    }

    void closesOnAnyClickOrKey_data() {
        QTest::addColumn<int>("key"); // 0: a click
        QTest::addColumn<QString>("target");
        QTest::newRow("click on the window") << 0 << "";
        QTest::newRow("click on the picture") << 0 << "img";
        QTest::newRow("click on the product") << 0 << "lblProduct";
        QTest::newRow("Esc") << int(Qt::Key_Escape) << "";
        QTest::newRow("Enter") << int(Qt::Key_Return) << "";
        QTest::newRow("letter") << int(Qt::Key_A) << "";
    }
    void closesOnAnyClickOrKey() {
        QFETCH(int, key);
        QFETCH(QString, target);
        TlxFrmVorlaneAbout about;
        lxFrmVorlaneAbout = &about;
        about.ShowAbout(); // the start-up call
        bool wasShown = false;
        QTimer::singleShot(0, [&] {
            wasShown = about.isVisible();
            QWidget *w = target.isEmpty() ? static_cast<QWidget *>(&about) : about.findChild<QWidget *>(target);
            QVERIFY(w);
            if (key == 0)
                QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(5, 5));
            else
                QTest::keyClick(w, Qt::Key(key));
            // Nothing closed it: end the modal loop so that the test fails instead of hanging.
            QTimer::singleShot(2000, &about, [&about] {
                if (about.isVisible())
                    about.done(99);
            });
        });
        about.ShowAbout();
        lxFrmVorlaneAbout = nullptr;
        QVERIFY(wasShown);
        QVERIFY(!about.isVisible());
        QVERIFY(about.result() != 99);
        QCOMPARE(about.FShowCount, 3);
    }

    void notClosedBeforeTheStartupCall() {
        TlxFrmVorlaneAbout about;
        about.show(); // shown without the start-up call: the count is 1
        QTest::mouseClick(&about, Qt::LeftButton, {}, QPoint(5, 5));
        QVERIFY(about.isVisible());
        about.done(0);
    }
};

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
