// How closely the converter's EMF slides look like the office's own pictures of the same slides.
//
// Usage: fidelity FOLDER [--out DIR] [--worst N] [--plain] [--format emf|svg|png]
//   Every presentation under FOLDER (sub-folders too) is opened in the office; each slide is written as the
//   converter writes it and, as the reference, as the office's own PNG. The judges draw each EMF: Inkscape, the
//   office's own import and, where Wine and the player built with mingw-w64 are there, Windows' GDI and GDI+ as
//   Word and PowerPoint draw it; ImageMagick scores each against the reference (see FidelityCheck), and a slide's
//   score is the closest judge's. Prints every judge's score for each slide, a line a deck and, at the end, each
//   judge's share of slides within FidelityCheck::kGood; writes a montage of the worst slides, office picture,
//   Inkscape, office import and Windows' GDI side by side (DIR/worst.png; DIR defaults to a new folder under
//   /tmp). --plain writes the office's plain slide export instead, for a before-and-after comparison. --format svg
//   or png judges those files instead: an SVG as Inkscape draws it, a PNG as it is (the office import and Windows'
//   players judge EMF only).
#include "FidelityCheck.h"
#include "engine/lxError.h"
#include "engine/lxOutputOptions.h"
#include "platform/office/OfficeSession.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <exception>

namespace {
struct Slide {
    QString deck;
    int number = 0;
    double score = -1;                                           // the closest judge's
    double inkscape = -1, imported = -1, gdi = -1, gdiplus = -1; // negative: that judge drew no picture
    QString reference, picture, import;
};

QStringList decksIn(const QString &folder) {
    QStringList decks;
    QDirIterator it(
        folder, {QStringLiteral("*.ppt"), QStringLiteral("*.ppt?"), QStringLiteral("*.odp"), QStringLiteral("*.fodp")},
        QDir::Files | QDir::CaseSensitive, QDirIterator::Subdirectories);
    while (it.hasNext())
        decks << it.next();
    // The wildcard above is case-sensitive in Qt; take upper-case names too.
    QDirIterator upper(folder, {QStringLiteral("*.PPT"), QStringLiteral("*.PPT?")}, QDir::Files,
                       QDirIterator::Subdirectories);
    while (upper.hasNext())
        decks << upper.next();
    decks.removeDuplicates();
    std::sort(decks.begin(), decks.end());
    return decks;
}
} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    QString folder, outDir;
    int worst = 6;
    bool plain = false;
    QString format = QStringLiteral("emf");
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--out") && i + 1 < args.size())
            outDir = args[++i];
        else if (args[i] == QLatin1String("--worst") && i + 1 < args.size())
            worst = args[++i].toInt();
        else if (args[i] == QLatin1String("--plain"))
            plain = true;
        else if (args[i] == QLatin1String("--format") && i + 1 < args.size())
            format = args[++i];
        else
            folder = args[i];
    }
    if (folder.isEmpty()) {
        std::fprintf(stderr, "usage: fidelity FOLDER [--out DIR] [--worst N] [--plain] [--format emf|svg|png]\n");
        return 2;
    }
    TlxOutputOptions output;
    try {
        output = TlxOutputOptions::Parse(format, QString(), QString(), QStringLiteral("960"));
    } catch (const ElxError &e) {
        std::fprintf(stderr, "fidelity: %s\n", qPrintable(e.Message()));
        return 2;
    }
    const bool emf = output.format == TlxOutputOptions::Format::Emf;
    const QString missing = FidelityCheck::MissingTools();
    if (!missing.isEmpty()) {
        std::fprintf(stderr, "fidelity: %s\n", qPrintable(missing));
        return 2;
    }
    // Windows' players are a judge where they can run; without them the others still judge.
    const QString gdiMissing = emf ? FidelityCheck::MissingGdi() : QString();
    const bool windows = emf && gdiMissing.isEmpty();
    if (emf && !windows)
        std::fprintf(stderr, "fidelity: no Windows GDI judge: %s\n", qPrintable(gdiMissing));
    QTemporaryDir tmp(QDir::tempPath() + QStringLiteral("/fidelity-XXXXXX"));
    tmp.setAutoRemove(false);
    if (outDir.isEmpty())
        outDir = tmp.path();
    QDir().mkpath(outDir);

    std::printf("%-44s %6s %6s %8s %8s %7s\n", "deck", "slides", "good", "mean", "worst", "at");
    QList<Slide> all;
    int decksGood = 0, decksScored = 0;
    office::OfficeSession session;
    session.SetOfficeEmf(plain);
    for (const QString &deck : decksIn(folder)) {
        const QString name = QDir(folder).relativeFilePath(deck);
        const QString dir = outDir + u'/' + QString(name).replace(u'/', u'_');
        QDir().mkpath(dir);
        QList<Slide> slides;
        try {
            const int doc = session.Open(deck);
            const int count = session.SlideCount(doc);
            session.SaveAs(doc, dir + QStringLiteral("/slide.") + output.Extension().mid(1), output.SaveAsCode());
            for (int k = 1; k <= count; ++k) {
                Slide s;
                s.deck = name;
                s.number = k;
                const QString base = k == 1 ? QStringLiteral("/slide") : QStringLiteral("/slide-%1").arg(k);
                s.reference = dir + base + QStringLiteral(".office.png");
                s.picture = dir + base + QStringLiteral(".png");
                s.import = dir + base + QStringLiteral(".import.png");
                session.ExportPng(doc, k, s.reference, 960);
                slides << s;
            }
            session.Close(doc);
        } catch (const std::exception &e) {
            std::printf("%-44s failed: %s\n", qPrintable(name), e.what());
            continue;
        }
        // A PNG is its own picture; the vector files are drawn by the judges.
        QStringList drawings;
        for (const Slide &s : slides)
            drawings << s.picture.left(s.picture.size() - 4) + output.Extension();
        QString error;
        if (output.format != TlxOutputOptions::Format::Png && !FidelityCheck::Render(drawings, 960, &error))
            std::fprintf(stderr, "%s\n", qPrintable(error));
        if (emf && !FidelityCheck::RenderWithOffice(drawings, &error))
            std::fprintf(stderr, "%s\n", qPrintable(error));
        for (bool gdiplus : {false, true})
            if (windows && !FidelityCheck::RenderWithGdi(drawings, 960, gdiplus, &error))
                std::fprintf(stderr, "%s\n", qPrintable(error));
        int good = 0;
        double sum = 0, worstScore = 0;
        int worstAt = 0;
        for (Slide &s : slides) {
            s.inkscape = FidelityCheck::Score(s.picture, s.reference, &error);
            s.imported = FidelityCheck::Score(s.import, s.reference, &error);
            if (windows) {
                const QString drawing = s.picture.left(s.picture.size() - 4) + output.Extension();
                s.gdi = FidelityCheck::Score(FidelityCheck::GdiPicture(drawing, false), s.reference, &error);
                s.gdiplus = FidelityCheck::Score(FidelityCheck::GdiPicture(drawing, true), s.reference, &error);
            }
            s.score = 1.0;
            for (double judged : {s.inkscape, s.imported, s.gdi, s.gdiplus})
                if (judged >= 0)
                    s.score = std::min(s.score, judged);
            if (s.inkscape < 0 && s.imported < 0 && s.gdi < 0 && s.gdiplus < 0)
                std::fprintf(stderr, "%s slide %d: %s\n", qPrintable(name), s.number, qPrintable(error));
            std::printf("    slide %3d  inkscape %7.4f  office import %7.4f", s.number, s.inkscape, s.imported);
            if (windows)
                std::printf("  gdi %7.4f  gdi+ %7.4f", s.gdi, s.gdiplus);
            std::printf("\n");

            sum += s.score;
            good += s.score <= FidelityCheck::kGood;
            if (s.score >= worstScore) {
                worstScore = s.score;
                worstAt = s.number;
            }
        }
        ++decksScored;
        decksGood += good == slides.size();
        std::printf("%-44s %6lld %6d %8.4f %8.4f %7d\n", qPrintable(name.right(44)), qlonglong(slides.size()), good,
                    slides.isEmpty() ? 0.0 : sum / slides.size(), worstScore, worstAt);
        std::fflush(stdout);
        all << slides;
    }
    const qsizetype goodSlides =
        std::count_if(all.begin(), all.end(), [](const Slide &s) { return s.score <= FidelityCheck::kGood; });
    std::printf("\n%d of %d decks have every slide within %.2f; %lld of %lld slides are\n", decksGood, decksScored,
                FidelityCheck::kGood, qlonglong(goodSlides), qlonglong(all.size()));
    // Each judge alone: how far the closest-judge figure above leans on one of them.
    struct Judge {
        const char *name;
        double Slide::*score;
        bool runs;
    };
    const bool png = output.format == TlxOutputOptions::Format::Png;
    for (const Judge &j : {Judge{png ? "png as it is" : "inkscape", &Slide::inkscape, true},
                           Judge{"office import", &Slide::imported, emf}, Judge{"gdi", &Slide::gdi, windows},
                           Judge{"gdi+", &Slide::gdiplus, windows}}) {
        if (!j.runs || all.isEmpty())
            continue;
        const qsizetype within = std::count_if(all.begin(), all.end(), [&j](const Slide &s) {
            return s.*j.score >= 0 && s.*j.score <= FidelityCheck::kGood;
        });
        std::printf("    %-14s %lld of %lld slides within %.2f (%.0f%%)\n", j.name, qlonglong(within),
                    qlonglong(all.size()), FidelityCheck::kGood, 100.0 * double(within) / double(all.size()));
    }

    std::sort(all.begin(), all.end(), [](const Slide &a, const Slide &b) { return a.score > b.score; });
    QList<FidelityCheck::Pair> pairs;
    for (const Slide &s : all.mid(0, worst)) {
        QString label = QStringLiteral("%1 #%2 %3/%4")
                            .arg(s.deck)
                            .arg(s.number)
                            .arg(s.inkscape, 0, 'f', 3)
                            .arg(s.imported, 0, 'f', 3);
        const QString drawing = s.picture.left(s.picture.size() - 4) + output.Extension();
        if (windows)
            label += QStringLiteral("/%1").arg(s.gdi, 0, 'f', 3);
        pairs.append({s.reference, s.picture, label, emf ? s.import : QString(),
                      windows ? FidelityCheck::GdiPicture(drawing, false) : QString()});
    }
    QString error;
    const QString montage = outDir + QStringLiteral("/worst.png");
    if (!pairs.isEmpty() && FidelityCheck::Montage(pairs, montage, &error))
        std::printf("the %lld worst slides side by side: %s\n", qlonglong(pairs.size()), qPrintable(montage));
    else if (!pairs.isEmpty())
        std::fprintf(stderr, "montage: %s\n", qPrintable(error));
    return 0;
}
