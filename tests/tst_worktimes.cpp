// The workers' time accounting: a phase inside another is booked to itself only, and each thread hands in its own.
#include "base/lxWorkTimes.h"

#include <QElapsedTimer>
#include <QtTest>

#include <thread>

namespace {
void spin(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
    }
}
} // namespace

class TestWorkTimes : public QObject {
    Q_OBJECT
private slots:
    void nestedPhasesAreNotCountedTwice();
    void aFilesPhasesAreTheDifferenceOfTwoReadings();
};

void TestWorkTimes::nestedPhasesAreNotCountedTwice() {
    TlxWorkTimes::Clear();
    auto work = [] {
        spin(10); // before any phase: idle
        {
            TlxWorkTimes::Scope writing(TlxWorkTimes::Write);
            spin(30);
            {
                TlxWorkTimes::Scope exporting(TlxWorkTimes::Export);
                spin(60);
            }
            spin(30);
        }
        TlxWorkTimes::Publish();
    };
    std::thread a(work), b(work);
    a.join();
    b.join();
    const QList<TlxWorkTimes::Totals> published = TlxWorkTimes::Published();
    QCOMPARE(published.size(), 2);
    for (const TlxWorkTimes::Totals &t : published) {
        QVERIFY(t.seconds[TlxWorkTimes::Export] >= 0.059);
        QVERIFY(t.seconds[TlxWorkTimes::Write] >= 0.059);
        QVERIFY2(t.Busy() <= t.wall + 1e-6, qPrintable(QStringLiteral("%1 > %2").arg(t.Busy()).arg(t.wall)));
        QCOMPARE(t.seconds[TlxWorkTimes::Open], 0.0);
    }
    TlxWorkTimes::Clear();
    QVERIFY(TlxWorkTimes::Published().isEmpty());
}

void TestWorkTimes::aFilesPhasesAreTheDifferenceOfTwoReadings() {
    TlxWorkTimes::Totals before, file;
    double laterWall = 0;
    // On a thread of its own, as a worker; checked on the test's thread.
    std::thread worker([&] {
        {
            TlxWorkTimes::Scope writing(TlxWorkTimes::Write);
            spin(20);
            // A reading counts the running phase's time so far.
            before = TlxWorkTimes::Current();
            {
                TlxWorkTimes::Scope drawing(TlxWorkTimes::Draw);
                spin(20);
                TlxWorkTimes::Scope checking(TlxWorkTimes::Check);
                spin(20);
            }
            file = TlxWorkTimes::Current().Since(before);
        }
        laterWall = TlxWorkTimes::Current().wall;
        TlxWorkTimes::Publish();
    });
    worker.join();
    QVERIFY(before.seconds[TlxWorkTimes::Write] >= 0.019);
    QVERIFY(file.seconds[TlxWorkTimes::Draw] >= 0.019);
    QVERIFY(file.seconds[TlxWorkTimes::Check] >= 0.019);
    QCOMPARE(file.seconds[TlxWorkTimes::Open], 0.0);
    QVERIFY2(file.Busy() <= file.wall + 1e-9, qPrintable(QStringLiteral("%1 > %2").arg(file.Busy()).arg(file.wall)));
    QVERIFY(file.wall < laterWall);
}

QTEST_GUILESS_MAIN(TestWorkTimes)
#include "tst_worktimes.moc"
