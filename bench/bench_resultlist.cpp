// How the result list takes 100,000 rows reported from worker threads: the longest stall of the GUI thread
// while rows arrive, the time until every row is shown, and the memory the rows take. The peer, measured in the
// same run, is a QTreeWidget filled row by row through queued calls, the straightforward way. The list is also
// measured with the preview pane beside it, a row selected and its slides shown all the while.
#include "ui/lxPreviewPane.h"
#include "ui/lxResultModel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHBoxLayout>
#include <QImage>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>

#include <cstdio>
#include <functional>

namespace {
constexpr int kRows = 100000;

long residentKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return 0;
}

QString fileName(int i) {
    return QStringLiteral("/data/presentations/department-%1/deck-%2.pptx").arg(i % 97).arg(i);
}

// A row found and then converted, as a worker reports it.
void postRow(TlxResultModel &model, quint64 generation, int i) {
    TlxResultModel::Update found;
    found.generation = generation;
    found.index = i;
    found.file = fileName(i);
    model.Post(found);
    TlxResultModel::Update done = found;
    done.converted = true;
    done.status = 1;
    done.hasResult = true;
    done.result = QStringLiteral("/out/deck-%1.emf").arg(i);
    model.Post(done);
}

struct Figures {
    qint64 totalMs = 0;
    qint64 longestStallMs = 0;
    long memoryKiB = 0;
};

// Runs the producer on its own thread while the GUI thread's event loop runs; a 5 ms timer notes the stalls.
Figures measure(const std::function<void(int)> &produce, const std::function<bool()> &allShown) {
    const long before = residentKiB();
    Figures f;
    QElapsedTimer total, tick;
    total.start();
    tick.start();
    QTimer heartbeat;
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        f.longestStallMs = qMax(f.longestStallMs, tick.restart());
        if (allShown())
            QCoreApplication::exit(0);
    });
    heartbeat.start(5);
    QThread *producer = QThread::create([&] {
        for (int i = 0; i < kRows; ++i)
            produce(i);
    });
    producer->start();
    QCoreApplication::exec();
    producer->wait();
    delete producer;
    f.totalMs = total.elapsed();
    f.memoryKiB = residentKiB() - before;
    return f;
}
} // namespace

int main(int argc, char **argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    TlxResultModel model;
    QTreeView view;
    view.setModel(&model);
    view.setUniformRowHeights(true);
    view.resize(1200, 500);
    view.show();
    const quint64 generation = model.Generation();
    const Figures ours = measure([&](int i) { postRow(model, generation, i); },
                                 [&] { return model.rowCount() == kRows && model.Done() == kRows; });

    // The same again with the preview pane shown and a row selected every 20 ms while rows arrive, each showing
    // 30 slide pictures (read on pool threads).
    TlxResultModel withPane;
    QWidget window;
    auto *layout = new QHBoxLayout(&window);
    QTreeView paneView;
    paneView.setModel(&withPane);
    paneView.setUniformRowHeights(true);
    TlxPreviewPane pane;
    layout->addWidget(&paneView, 1);
    layout->addWidget(&pane, 1);
    window.resize(1200, 500);
    window.show();
    QTemporaryDir pictures;
    QList<TlxPreviewCache::Entry> slides;
    for (int k = 1; k <= 30; ++k) {
        QImage picture(TlxPreviewCache::kWidth, TlxPreviewCache::kWidth * 3 / 4, QImage::Format_RGB32);
        picture.fill(QColor::fromHsv(k * 12, 120, 220));
        const QString file = pictures.filePath(QStringLiteral("%1.png").arg(k));
        picture.save(file);
        slides << TlxPreviewCache::Entry{k, file, QStringLiteral("/out/deck-%1.emf").arg(k)};
    }
    QTimer selecting;
    QObject::connect(&selecting, &QTimer::timeout, [&] {
        const int row = withPane.rowCount() - 1;
        if (row < 0)
            return;
        paneView.setCurrentIndex(withPane.index(row, 0));
        pane.ShowRow(withPane.RowStatus(row), withPane.RowFile(row), withPane.RowResult(row), slides);
    });
    selecting.start(20);
    const quint64 paneGeneration = withPane.Generation();
    const Figures previewing = measure([&](int i) { postRow(withPane, paneGeneration, i); },
                                       [&] { return withPane.rowCount() == kRows && withPane.Done() == kRows; });
    selecting.stop();

    QTreeWidget peer;
    peer.setColumnCount(3);
    peer.setUniformRowHeights(true);
    peer.resize(1200, 500);
    peer.show();
    int peerDone = 0;
    const Figures theirs = measure(
        [&](int i) {
            const QString file = fileName(i);
            QMetaObject::invokeMethod(&peer, [&peer, file] { new QTreeWidgetItem(&peer, {QString(), file}); });
            QMetaObject::invokeMethod(&peer, [&peer, &peerDone, i] {
                peer.topLevelItem(i)->setText(2, QStringLiteral("/out/deck-%1.emf").arg(i));
                ++peerDone;
            });
        },
        [&] { return peerDone == kRows; });

    std::printf("rows: %d (found and converted events from a worker thread)\n", kRows);
    std::printf("%-28s %10s %18s %12s\n", "", "total ms", "longest stall ms", "memory MiB");
    std::printf("%-28s %10lld %18lld %12.1f\n", "result list (batched model)", ours.totalMs, ours.longestStallMs,
                ours.memoryKiB / 1024.0);
    std::printf("%-28s %10lld %18lld %12.1f\n", "the same, preview selecting", previewing.totalMs,
                previewing.longestStallMs, previewing.memoryKiB / 1024.0);
    std::printf("%-28s %10lld %18lld %12.1f\n", "QTreeWidget, row by row", theirs.totalMs, theirs.longestStallMs,
                theirs.memoryKiB / 1024.0);
    std::printf("ratios (peer / ours): total %.2fx, longest stall %.2fx\n",
                double(theirs.totalMs) / qMax<qint64>(ours.totalMs, 1),
                double(theirs.longestStallMs) / qMax<qint64>(ours.longestStallMs, 1));
    return 0;
}
