// Times the folder scan of a batch (default mask "*.ppt?", full filter with the matcher) against GNU find with
// the equivalent expression on the same synthetic tree, and prints the ratio and both file counts.
#include "engine/lxBatch.h"
#include "engine/lxMatch.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kTopFolders = 100;
constexpr int kSubFolders = 9; // 100 top folders + 900 below them = 1,000 folders
constexpr int kFiles = 100000;

const char *const kExtensions[] = {".ppt", ".pptx", ".PPTX",    ".pptm", ".pps",
                                   ".doc", ".txt",  ".ppt.bak", ".emf",  ".pdf"};

void buildTree(const QString &root) {
    QStringList folders;
    for (int top = 0; top < kTopFolders; ++top) {
        const QString folder = root + QStringLiteral("/dir%1/").arg(top);
        folders << folder;
        for (int sub = 0; sub < kSubFolders; ++sub)
            folders << folder + QStringLiteral("sub%1/").arg(sub);
    }
    for (const QString &folder : std::as_const(folders))
        QDir().mkpath(folder);
    for (int i = 0; i < kFiles; ++i) {
        const QString folder = folders.at(i % folders.size());
        // One file in 50 is hidden; hidden files are found by both tools (no hidden folders: find would enter them).
        const QString name = QStringLiteral("%1file%2%3")
                                 .arg(i % 50 == 0 ? QStringLiteral(".") : QString())
                                 .arg(i)
                                 .arg(QLatin1String(kExtensions[i % std::size(kExtensions)]));
        QFile file(folder + name);
        if (!file.open(QIODevice::WriteOnly)) {
            std::fprintf(stderr, "cannot create %s\n", qPrintable(file.fileName()));
            std::exit(1);
        }
    }
}

int scanOnce(const QString &root, qint64 *nanoseconds) {
    QElapsedTimer timer;
    timer.start();
    TlxBatch batch;
    batch.Search(root + QStringLiteral("/*.ppt?"), root + QStringLiteral("/out"), true);
    batch.wait();
    *nanoseconds = timer.nsecsElapsed();
    return batch.NodeCount();
}

int findOnce(const QString &root, qint64 *nanoseconds) {
    QElapsedTimer timer;
    timer.start();
    QProcess find;
    find.start(QStringLiteral("find"), {root, QStringLiteral("-iregex"), QStringLiteral(".*\\.ppt.?$")});
    find.waitForFinished(-1);
    const QByteArray out = find.readAllStandardOutput();
    *nanoseconds = timer.nsecsElapsed();
    return int(out.count('\n'));
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    TlxMatch matcher;
    Matcher = &matcher;

    QTemporaryDir dir;
    std::printf("building %d files in %d folders under %s ...\n", kFiles, kTopFolders * (kSubFolders + 1),
                qPrintable(dir.path()));
    std::fflush(stdout);
    buildTree(dir.path());

    qint64 bestScan = std::numeric_limits<qint64>::max();
    qint64 bestFind = std::numeric_limits<qint64>::max();
    int scanCount = 0;
    int findCount = 0;
    for (int round = 0; round < 5; ++round) { // the first rounds warm the cache for both
        qint64 ns = 0;
        findCount = findOnce(dir.path(), &ns);
        bestFind = std::min(bestFind, ns);
        scanCount = scanOnce(dir.path(), &ns);
        bestScan = std::min(bestScan, ns);
    }
    std::printf("scan (TlxBatch, mask *.ppt?): %8.1f ms, %d files accepted\n", bestScan / 1e6, scanCount);
    std::printf("find -iregex '.*\\.ppt.?$':    %8.1f ms, %d files found\n", bestFind / 1e6, findCount);
    std::printf("ratio scan/find: %.2f (goal: at most 1.5); counts %s\n", double(bestScan) / double(bestFind),
                scanCount == findCount ? "equal" : "DIFFER");
    Matcher = nullptr;
    return scanCount == findCount ? 0 : 1;
}
