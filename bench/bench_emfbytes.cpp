// EMF as this program draws it against the office's own EMF export of the same slides: bytes and time a deck and
// in total, one office, one deck after the other, both ways in the same run.
// Usage: bench_emfbytes [FOLDER [KEEP]]   (default: the test decks; sub-folders too. KEEP: a folder that keeps the
// last deck's files of both ways, ours/ and office/)
#include "OfficeEmfExport.h"
#include "base/lxOutputOptions.h"
#include "platform/office/OfficeSession.h"
#include "project/lxProject.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>
#include <stdexcept>

namespace {
struct Figures {
    qint64 bytes = 0;
    qint64 ms = 0;
    int files = 0;
};

// The deck's slides as EMF: as the converter writes them, or (plain) as the office's own EMF export writes them.
Figures convert(office::OfficeSession &session, const QString &deck, const QString &dir, bool plain) {
    Figures f;
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
    QElapsedTimer clock;
    clock.start();
    const int doc = session.Open(deck);
    TlxOutputOptions emf;
    emf.format = TlxOutputOptions::Format::Emf;
    QString error;
    if (!plain)
        session.SaveAs(doc, dir + QStringLiteral("/slide.emf"), emf);
    else if (!WriteOfficeEmf(session, doc, dir + QStringLiteral("/slide.emf"), emf.imageResolution, &error))
        throw std::runtime_error(qPrintable(error));
    session.Close(doc);
    f.ms = clock.elapsed();
    for (const QFileInfo &i : QDir(dir).entryInfoList(QDir::Files)) {
        f.bytes += i.size();
        ++f.files;
    }
    return f;
}
} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(VORLANE_CORPUS_DIR);
    lxProject = new TlxProject;
    QTemporaryDir scratch;
    const QString keep = argc > 2 ? QString::fromLocal8Bit(argv[2]) : scratch.path();
    office::OfficeSession ours, theirs;
    Figures total[2];
    std::printf("%-44s %12s %12s %6s %9s %9s\n", "deck", "ours B", "office B", "ratio", "ours ms", "office ms");
    QDirIterator it(folder, {QStringLiteral("*.ppt?"), QStringLiteral("*.ppt")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString deck = it.next();
        Figures f[2];
        try {
            f[0] = convert(ours, deck, keep + QStringLiteral("/ours"), false);
            f[1] = convert(theirs, deck, keep + QStringLiteral("/office"), true);
        } catch (const std::exception &) {
            continue; // broken and encrypted decks fail both ways
        }
        for (int k = 0; k < 2; ++k)
            total[k].bytes += f[k].bytes, total[k].ms += f[k].ms, total[k].files += f[k].files;
        std::printf("%-44s %12lld %12lld %6.2f %9lld %9lld\n",
                    qPrintable(QDir(folder).relativeFilePath(deck).right(44)), qlonglong(f[0].bytes),
                    qlonglong(f[1].bytes), f[1].bytes ? double(f[0].bytes) / f[1].bytes : 0.0, qlonglong(f[0].ms),
                    qlonglong(f[1].ms));
    }
    std::printf("%-44s %12lld %12lld %6.2f %9lld %9lld\n", "all", qlonglong(total[0].bytes), qlonglong(total[1].bytes),
                total[1].bytes ? double(total[0].bytes) / total[1].bytes : 0.0, qlonglong(total[0].ms),
                qlonglong(total[1].ms));
    return 0;
}
