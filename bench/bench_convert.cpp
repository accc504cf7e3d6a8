// Converts the corpus of sample decks with one and two converter workers and, in the same run, with one
// `soffice --headless --convert-to emf` call per deck, and prints decks/s, slides/s, the ratios, and where each
// worker's time went (waiting for a file, starting its office, opening, exporting, writing and checking, closing);
// then one worker again making the small slide pictures a window run makes for its preview pane.
//
// Usage: bench_convert [rounds] [format]   (the worker runs convert the corpus `rounds` times over, default 2, into
// format: emf, the default, emz, svg or png; the soffice loop always writes EMF)
#include "base/lxWorkTimes.h"
#include "engine/lxBatch.h"
#include "engine/lxPreviewCache.h"
#include "engine/lxVORLANE.h"
#include "platform/office/OfficeServer.h"
#include "project/lxProject.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>

#include <cstdio>
#include <functional>

namespace {
struct Deck {
    QString path;
    int slides;
};

QList<Deck> corpusDecks() {
    QList<Deck> decks;
    const QString dir = QDir::cleanPath(qEnvironmentVariable("VORLANE_CORPUS_DIR", QStringLiteral(VORLANE_CORPUS_DIR)));
    QFile manifest(dir + QStringLiteral("/MANIFEST.tsv"));
    if (!manifest.open(QIODevice::ReadOnly))
        return decks;
    for (const QString &line : QString::fromUtf8(manifest.readAll()).split(u'\n')) {
        const QStringList f = line.split(u'\t');
        if (f.size() > 7 && f.at(7) == QLatin1String("convert"))
            decks.append({dir + u'/' + f.at(0), f.at(4).toInt()});
    }
    return decks;
}

int countEmf(const QString &dir) {
    int n = 0;
    for (const QFileInfo &f : QDir(dir).entryInfoList({QStringLiteral("*.emf")}, QDir::Files))
        if (f.size() > 0)
            ++n;
    return n;
}

struct Result {
    QString name;
    double seconds = 0;
    int decks = 0;
    int slides = 0; // slides of the decks converted (the soffice loop: EMF files it wrote)
    int failed = 0;
    QList<TlxWorkTimes::Totals> times; // per worker, as each ended
    double decksPerSecond() const { return seconds > 0 ? decks / seconds : 0; }
    double slidesPerSecond() const { return seconds > 0 ? slides / seconds : 0; }
};

QString format = QStringLiteral("emf");

Result runWorkers(const QList<Deck> &decks, int rounds, int workers, const QString &outRoot, bool previews = false) {
    Result r;
    r.name = QStringLiteral("vorlane, %1 worker%2%3")
                 .arg(workers)
                 .arg(workers > 1 ? "s" : "")
                 .arg(previews ? ", window previews" : "");
    lxProject->SetOptions({QStringLiteral("ThreadsCount=%1").arg(workers), QStringLiteral("IsOverwrite=true"),
                           QStringLiteral("Format=") + format});
    TlxBatch batch;
    // As a window run makes them: a small picture of every written slide into a cache of its own.
    if (previews)
        batch.SetPreviews(std::make_shared<TlxPreviewCache>(outRoot + QStringLiteral("/cache")));
    TlxWorkTimes::Clear();
    QStringList files;
    for (int round = 0; round < rounds; ++round)
        for (const Deck &d : decks)
            files << d.path;
    QElapsedTimer t;
    t.start();
    for (qsizetype i = 0; i + 1 < files.size(); ++i)
        batch.AddFile(files.at(i));
    batch.AddFileAndComplete(files.last());
    QAtomicInt slides = 0;
    const QString target = outRoot + QStringLiteral("/workers%1%2/").arg(workers).arg(previews ? "p" : "");
    std::shared_ptr<TlxConvertor> head = TlxConvertor::CreateWorkers(&batch, target, [&](TlxBatch *, TlxNode *n) {
        if (n->Status != nsSuccess)
            return;
        for (const Deck &d : decks)
            if (d.path == n->SourceFile)
                slides.fetchAndAddRelaxed(d.slides);
    });
    head->StartAll();
    for (TlxConvertor *w = head.get(); w; w = w->NextWorker().get())
        while (!w->Ended())
            QThread::msleep(5);
    r.seconds = t.elapsed() / 1000.0;
    r.decks = int(files.size());
    r.slides = slides.loadRelaxed();
    r.failed = batch.Failures();
    r.times = TlxWorkTimes::Published();
    return r;
}

// Where the workers' time went: a column per worker and one for all of them, for each run side by side.
void printTimes(const QList<Result> &runs) {
    std::printf("\nseconds per phase%*s", 8, "");
    for (const Result &r : runs) {
        for (qsizetype w = 0; w < r.times.size(); ++w)
            std::printf(" %6s#%lld", r.times.size() > 1 ? "w" : "1w", qlonglong(w + 1));
        std::printf(" %8s", "total");
        std::printf("  |");
    }
    std::printf("\n");
    auto row = [&](const char *name, const std::function<double(const TlxWorkTimes::Totals &)> &value) {
        std::printf("%-25s", name);
        for (const Result &r : runs) {
            double total = 0;
            for (const TlxWorkTimes::Totals &t : r.times) {
                std::printf(" %8.2f", value(t));
                total += value(t);
            }
            std::printf(" %8.2f  |", total);
        }
        std::printf("\n");
    };
    for (int p = 0; p < TlxWorkTimes::PhaseCount; ++p)
        row(TlxWorkTimes::Name(TlxWorkTimes::Phase(p)), [p](const TlxWorkTimes::Totals &t) { return t.seconds[p]; });
    row("idle (rest of the run)", [](const TlxWorkTimes::Totals &t) { return t.wall - t.Busy(); });
    row("worker's whole run", [](const TlxWorkTimes::Totals &t) { return t.wall; });
}

Result runSofficeLoop(const QList<Deck> &decks, const QString &outRoot) {
    Result r;
    r.name = QStringLiteral("soffice --convert-to, one call per deck");
    // Its own profile, set up once before timing, so that neither a first start nor the user's office skews it.
    const QString profile = QStringLiteral("-env:UserInstallation=") +
                            QUrl::fromLocalFile(outRoot + QStringLiteral("/soffice-profile")).toString();
    const auto convert = [&](const QString &deck, const QString &outDir) {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(QStringLiteral("soffice"), {profile, QStringLiteral("--headless"), QStringLiteral("--convert-to"),
                                            QStringLiteral("emf"), QStringLiteral("--outdir"), outDir, deck});
        p.waitForFinished(300000);
        return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    };
    convert(decks.first().path, outRoot + QStringLiteral("/soffice-warmup"));
    QElapsedTimer t;
    t.start();
    int i = 0;
    for (const Deck &d : decks) {
        // A folder per deck: decks that share a name would otherwise overwrite each other.
        const QString outDir = outRoot + QStringLiteral("/soffice/%1").arg(i++);
        if (!convert(d.path, outDir))
            ++r.failed;
        r.slides += countEmf(outDir);
    }
    r.seconds = t.elapsed() / 1000.0;
    r.decks = int(decks.size());
    return r;
}

void print(const Result &r) {
    std::printf("%-42s %6d decks %6d slides %8.2f s %8.2f decks/s %8.2f slides/s  (%d failed)\n", qPrintable(r.name),
                r.decks, r.slides, r.seconds, r.decksPerSecond(), r.slidesPerSecond(), r.failed);
}
} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? qMax(1, QString::fromLocal8Bit(argv[1]).toInt()) : 2;
    if (argc > 2)
        format = QString::fromLocal8Bit(argv[2]);
    const QList<Deck> decks = corpusDecks();
    if (decks.isEmpty()) {
        std::fprintf(stderr, "no decks found: %s/MANIFEST.tsv is missing or lists none\n",
                     qPrintable(qEnvironmentVariable("VORLANE_CORPUS_DIR", QStringLiteral(VORLANE_CORPUS_DIR))));
        return 1;
    }
    RegisterOfficeServer();
    lxProject = new TlxProject;
    lxProject->ConverterClass = TlxVORLANE::Class();
    lxProject->TargetExt = u'.' + format;
    lxProject->ShortName = QStringLiteral("vorlane");
    QTemporaryDir out;

    int corpusSlides = 0;
    for (const Deck &d : decks)
        corpusSlides += d.slides;
    std::printf("corpus: %d decks, %d slides; worker runs convert it %d times into %s\n", int(decks.size()),
                corpusSlides, rounds, qPrintable(format));
    std::fflush(stdout);
    const Result one = runWorkers(decks, rounds, 1, out.path());
    print(one);
    std::fflush(stdout);
    const Result two = runWorkers(decks, rounds, 2, out.path());
    print(two);
    std::fflush(stdout);
    const Result previews = runWorkers(decks, rounds, 1, out.path(), true);
    print(previews);
    std::fflush(stdout);
    const Result loop = runSofficeLoop(decks, out.path());
    print(loop);

    printTimes({one, two, previews});
    std::printf("\n");
    const auto ratio = [](double a, double b) { return b > 0 ? a / b : 0.0; };
    std::printf("ratio decks/s:  1 worker / soffice loop %.2fx, 2 workers / soffice loop %.2fx, 2 / 1 workers %.2fx\n",
                ratio(one.decksPerSecond(), loop.decksPerSecond()), ratio(two.decksPerSecond(), loop.decksPerSecond()),
                ratio(two.decksPerSecond(), one.decksPerSecond()));
    std::printf("ratio time:     1 worker with window previews / without %.2fx\n",
                ratio(previews.seconds, one.seconds));
    std::printf("ratio slides/s: 1 worker / soffice loop %.2fx, 2 workers / soffice loop %.2fx\n",
                ratio(one.slidesPerSecond(), loop.slidesPerSecond()),
                ratio(two.slidesPerSecond(), loop.slidesPerSecond()));
    delete lxProject;
    lxProject = nullptr;
    return 0;
}
