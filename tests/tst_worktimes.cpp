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

QTEST_GUILESS_MAIN(TestWorkTimes)
#include "tst_worktimes.moc"
