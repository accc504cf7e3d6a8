// Hands 100,000 nodes to chains of 1, 2 and 8 workers whose converter does nothing, and prints nodes per second
// and the time from the search's last node to the last worker's end. Two runs per chain: the nodes all present
// before the workers start (pure hand-out cost), and the nodes added by a feeding thread while the workers run
// (as a search does, yielding after every node).
#include "engine/lxBatch.h"
#include "engine/lxConvertor.h"
#include "project/lxProject.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <atomic>
#include <cstdio>
#include <thread>

namespace {

constexpr int kNodes = 100000;

QElapsedTimer clock_;
std::atomic<qint64> lastEnd{0};

// Converts nothing; notes when its worker ends.
class IdleConvertor : public TlxConvertor {
public:
    IdleConvertor(TlxBatch *batch, int chainCount, TlxNodeEvent onNodeDone)
        : TlxConvertor(batch, chainCount, std::move(onNodeDone)) {}

protected:
    void CleanUp() override {
        const qint64 now = clock_.nsecsElapsed();
        qint64 seen = lastEnd.load();
        while (now > seen && !lastEnd.compare_exchange_weak(seen, now)) {
        }
    }
};

const TlxConvertorClassOf<IdleConvertor> idleClass;

struct Result {
    double nodesPerSecond;
    double usPerNode;
    double tailMs; // last node added -> last worker ended
};

Result runOnce(int workers, bool prefilled) {
    TlxBatch batch;
    lxProject->SetOption(QStringLiteral("ThreadsCount"), QString::number(workers));
    std::atomic<int> done{0};
    auto head =
        TlxConvertor::CreateWorkers(&batch, QStringLiteral("/tmp/bench-handout-out"),
                                    [&done](TlxBatch *, TlxNode *) { done.fetch_add(1, std::memory_order_relaxed); });
    const auto feed = [&batch] {
        for (int i = 0; i + 1 < kNodes; ++i)
            batch.AddFile(QStringLiteral("/in/f%1.ppt").arg(i));
        batch.AddFileAndComplete(QStringLiteral("/in/last.ppt"));
    };
    if (prefilled)
        feed();
    lastEnd = 0;
    clock_.restart();
    qint64 lastNode = 0;
    RunningWorkers = workers;
    head->StartAll();
    std::thread feeder;
    if (!prefilled) {
        feeder = std::thread([&] {
            feed();
            lastNode = clock_.nsecsElapsed();
        });
    }
    while (RunningWorkers.load() > 0)
        QThread::usleep(100);
    const qint64 end = lastEnd.load();
    if (feeder.joinable())
        feeder.join();
    if (done.load() != kNodes)
        std::fprintf(stderr, "only %d of %d nodes processed\n", done.load(), kNodes);
    return {kNodes / (end / 1e9), end / 1e3 / kNodes, (end - lastNode) / 1e6};
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    TlxProject project;
    lxProject = &project;
    project.ConverterClass = &idleClass;

    std::printf("%d nodes, converter that does nothing\n", kNodes);
    std::printf("%-8s %-22s %14s %12s %28s\n", "workers", "nodes", "nodes/s", "us/node", "last node -> last end (ms)");
    for (const bool prefilled : {true, false}) {
        for (const int workers : {1, 2, 8}) {
            Result best{0, 1e9, 1e9};
            for (int round = 0; round < 3; ++round) {
                const Result r = runOnce(workers, prefilled);
                if (r.usPerNode < best.usPerNode)
                    best = r;
            }
            const QByteArray tail = prefilled ? QByteArray("-") : QByteArray::number(best.tailMs, 'f', 2);
            std::printf("%-8d %-22s %14.0f %12.3f %28s\n", workers,
                        prefilled ? "all present at start" : "added while running", best.nodesPerSecond, best.usPerNode,
                        tail.constData());
            std::fflush(stdout);
        }
    }
    std::printf(
        "\"added while running\" is paced by the feeding thread, which yields after every node as the search does.\n");
    std::printf("goal: hand-out overhead under 5 us per node with 2 workers (the \"all present\" rows)\n");
    lxProject = nullptr;
    return 0;
}
