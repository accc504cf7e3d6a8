// How closely the converter's slides look like the office's own pictures of them, or like PowerPoint's.
//
// Usage: fidelity FOLDER [--out DIR] [--worst N] [--plain] [--format emf|svg|png] [--powerpoint [--plain-office]]
//                 [--manifest FILE]
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
//   --plain-office adds the plain office's column: `soffice --convert-to pdf` of each deck with a profile of its own,
//   without this program's fonts file or private copy (the machine's installed fonts it still sees).
//   --powerpoint takes only decks with the PDF PowerPoint made of them beside them (deck.pptx, deck.pdf): the
//   reference is PowerPoint's page of each visible slide (hidden slides are not in its PDF), and the office's
//   own picture is scored against it too, so that each deck's line shows the office's drawing beside ours. The
//   montage is then PowerPoint, office, ours.
//   Where the manifest (FOLDER/MANIFEST.tsv, or --manifest FILE) gives each deck's half ("tuned", "held-out"),
//   every judge's share is printed for each half too, and the held-out half's worst slides in DIR/worst-held-out.png.
#include "FidelityCheck.h"
#include "OfficeEmfExport.h"
#include "base/lxError.h"
#include "base/lxOutputOptions.h"
#include "deck/DeckPackage.h"
#include "platform/office/OfficeSession.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QSet>
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
    double office = -1;                                          // the office's own picture, against PowerPoint's
    double plainOffice = -1; // the plain office's (no fonts setup, no private copy), against PowerPoint's
    QString reference, picture, import, officePicture, plainPicture;

    QString Drawing(const TlxOutputOptions &output) const {
        return picture.left(picture.size() - 4) + output.Extension();
    }
    // The picture the closest judge drew.
    QString Closest(const TlxOutputOptions &output) const {
        if (score == gdi)
            return FidelityCheck::GdiPicture(Drawing(output), false);
        if (score == gdiplus)
            return FidelityCheck::GdiPicture(Drawing(output), true);
        return score == imported ? import : picture;
    }
};

struct Options {
    QString folder, outDir;
    int worst = 6;
    bool plain = false, powerpoint = false;
    bool plainOffice = false; // also the plain office's drawing of each slide, beside PowerPoint's
    QString format = QStringLiteral("emf");
    TlxOutputOptions output;
    bool emf = false, windows = false;
    QString manifest;             // where the halves are read from: the folder's MANIFEST.tsv unless given
    QHash<QString, QString> half; // deck name (without extension) -> its half
};

// The half of each deck the manifest names (its "name" and "half" columns); none when it has no such columns.
QHash<QString, QString> halvesOf(const QString &manifest) {
    QHash<QString, QString> half;
    QFile file(manifest);
    if (!file.open(QIODevice::ReadOnly))
        return half;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    const QStringList head = lines.value(0).split(u'\t');
    const qsizetype name = head.indexOf(QStringLiteral("name")), col = head.indexOf(QStringLiteral("half"));
    for (const QString &line : lines.mid(1)) {
        const QStringList f = line.split(u'\t');
        if (name >= 0 && col >= 0 && f.size() > std::max(name, col))
            half.insert(f.at(name), f.at(col).trimmed());
    }
    return half;
}

QStringList decksIn(const QString &folder, bool withPdf) {
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
    if (withPdf)
        decks.removeIf([](const QString &deck) { return !QFileInfo::exists(deck.section(u'.', 0, -2) + ".pdf"); });
    std::sort(decks.begin(), decks.end());
    return decks;
}

// A PDF's pages as PNG pictures of the given width: dir/PREFIX-N.png for page N (from 1). Drawn by poppler's own
// rasteriser (pdftoppm), not its cairo one: PowerPoint writes its translucent pictures premultiplied against black
// (a soft mask with /Matte), which cairo draws as they are stored, dark; a lighting overlay at 30 % then greys
// every slide of a deck that PowerPoint and the office both show bright.
QStringList pdfPages(const QString &pdf, const QString &dir, int width, QString *error,
                     const QString &prefix = QStringLiteral("powerpoint")) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("pdftoppm"),
            {QStringLiteral("-png"), QStringLiteral("-scale-to-x"), QString::number(width),
             QStringLiteral("-scale-to-y"), QStringLiteral("-1"), pdf, dir + u'/' + prefix});
    if (!p.waitForFinished(600000) || p.exitCode() != 0) {
        *error = QStringLiteral("pdftoppm: ") + QString::fromLocal8Bit(p.readAll()).trimmed();
        return {};
    }
    // pdftoppm pads the page number to the width of the page count.
    QStringList pages = QDir(dir).entryList({prefix + QStringLiteral("-*.png")}, QDir::Files, QDir::Name);
    for (QString &page : pages)
        page = dir + u'/' + page;
    return pages;
}

// The plain office's pages: the deck as `soffice --convert-to pdf` writes it with a profile of its own, none of
// this program's fonts setup or private copy, then cut into PNG pages as PowerPoint's are.
QStringList plainOfficePages(const QString &deck, const QString &dir, QString *error) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("soffice"),
            {QStringLiteral("-env:UserInstallation=file://") + dir + QStringLiteral("/plain-profile"),
             QStringLiteral("--headless"), QStringLiteral("--convert-to"), QStringLiteral("pdf"),
             QStringLiteral("--outdir"), dir + QStringLiteral("/plain"), deck});
    if (!p.waitForFinished(300000)) {
        p.kill();
        p.waitForFinished();
        *error = QStringLiteral("the plain office took longer than 300 s");
        return {};
    }
    const QString pdf = dir + QStringLiteral("/plain/") + QFileInfo(deck).completeBaseName() + QStringLiteral(".pdf");
    QDir(dir + QStringLiteral("/plain-profile")).removeRecursively();
    return QFileInfo::exists(pdf) ? pdfPages(pdf, dir, 960, error, QStringLiteral("plain")) : QStringList();
}

// Opens the deck and writes its slides as the converter writes them, with the reference pictures to judge
// them by. Throws when the office cannot.
QList<Slide> convertDeck(office::OfficeSession &session, const Options &o, const QString &deck, const QString &name,
                         const QString &dir) {
    QStringList pages;
    if (o.powerpoint) {
        QString error;
        pages = pdfPages(deck.section(u'.', 0, -2) + ".pdf", dir, 960, &error);
        if (pages.isEmpty())
            throw std::runtime_error(qPrintable(error));
    }
    QList<Slide> slides;
    const int doc = session.Open(deck);
    const int count = session.SlideCount(doc);
    const QString output = dir + QStringLiteral("/slide.") + o.output.Extension().mid(1);
    QString error;
    if (!o.plain || o.output.format != TlxOutputOptions::Format::Emf)
        session.SaveAs(doc, output, o.output);
    else if (!WriteOfficeEmf(session, doc, output, o.output.imageResolution, &error))
        throw std::runtime_error(qPrintable(error));
    // Hidden slides are not in PowerPoint's PDF.
    const QList<bool> hidden = o.powerpoint ? deck::DeckPackage(deck).HiddenSlides() : QList<bool>();
    for (int k = 1; k <= count; ++k) {
        if (hidden.value(k - 1))
            continue;
        Slide s;
        s.deck = name;
        s.number = k;
        const QString base = k == 1 ? QStringLiteral("/slide") : QStringLiteral("/slide-%1").arg(k);
        s.officePicture = dir + base + QStringLiteral(".office.png");
        s.picture = dir + base + QStringLiteral(".png");
        s.import = dir + base + QStringLiteral(".import.png");
        session.ExportPng(doc, k, s.officePicture, 960);
        s.reference = o.powerpoint ? pages.value(slides.size()) : s.officePicture;
        slides << s;
    }
    session.Close(doc);
    if (o.plainOffice && o.powerpoint) {
        const QStringList plain = plainOfficePages(deck, dir, &error);
        for (qsizetype i = 0; i < slides.size(); ++i)
            slides[i].plainPicture = plain.value(i);
    }
    if (o.powerpoint && pages.size() != slides.size())
        std::fprintf(stderr, "%s: PowerPoint's PDF has %lld pages for %lld visible slides\n", qPrintable(name),
                     qlonglong(pages.size()), qlonglong(slides.size()));
    return slides;
}

// Every judge draws the deck's files and scores them; each slide keeps the closest.
void judgeDeck(QList<Slide> &slides, const Options &o, const QString &name) {
    QStringList drawings;
    for (const Slide &s : slides)
        drawings << s.Drawing(o.output);
    QString error;
    if (o.output.format != TlxOutputOptions::Format::Png && !FidelityCheck::Render(drawings, 960, &error))
        std::fprintf(stderr, "%s\n", qPrintable(error));
    if (o.emf && !FidelityCheck::RenderWithOffice(drawings, &error))
        std::fprintf(stderr, "%s\n", qPrintable(error));
    for (bool gdiplus : {false, true})
        if (o.windows && !FidelityCheck::RenderWithGdi(drawings, 960, gdiplus, &error))
            std::fprintf(stderr, "%s\n", qPrintable(error));
    for (Slide &s : slides) {
        if (s.reference.isEmpty())
            continue;
        // A PNG is its own picture; the vector files are drawn by the judges.
        s.inkscape = FidelityCheck::Score(s.picture, s.reference, &error);
        s.imported = FidelityCheck::Score(s.import, s.reference, &error);
        if (o.windows) {
            s.gdi = FidelityCheck::Score(FidelityCheck::GdiPicture(s.Drawing(o.output), false), s.reference, &error);
            s.gdiplus = FidelityCheck::Score(FidelityCheck::GdiPicture(s.Drawing(o.output), true), s.reference, &error);
        }
        if (o.powerpoint)
            s.office = FidelityCheck::Score(s.officePicture, s.reference, &error);
        if (!s.plainPicture.isEmpty())
            s.plainOffice = FidelityCheck::Score(s.plainPicture, s.reference, &error);
        s.score = 1.0;
        for (double judged : {s.inkscape, s.imported, s.gdi, s.gdiplus})
            if (judged >= 0)
                s.score = std::min(s.score, judged);
        if (s.inkscape < 0 && s.imported < 0 && s.gdi < 0 && s.gdiplus < 0)
            std::fprintf(stderr, "%s slide %d: %s\n", qPrintable(name), s.number, qPrintable(error));
        std::printf("    slide %3d  inkscape %7.4f  office import %7.4f", s.number, s.inkscape, s.imported);
        if (o.windows)
            std::printf("  gdi %7.4f  gdi+ %7.4f", s.gdi, s.gdiplus);
        if (o.powerpoint)
            std::printf("  office's own %7.4f", s.office);
        if (o.plainOffice && o.powerpoint)
            std::printf("  plain office %7.4f", s.plainOffice);
        std::printf("\n");
    }
}

bool good(double score) {
    return score >= 0 && score <= FidelityCheck::kGood;
}

// The deck's line: slides, how many are close, mean and worst, and with PowerPoint's pages the office's own.
bool printDeck(const QList<Slide> &slides, const QString &name, bool powerpoint) {
    int close = 0, officeClose = 0, worstAt = 0;
    double sum = 0, worstScore = 0;
    for (const Slide &s : slides) {
        sum += s.score;
        close += good(s.score);
        officeClose += good(s.office);
        if (s.score >= worstScore) {
            worstScore = s.score;
            worstAt = s.number;
        }
    }
    std::printf("%-44s %6lld %6d %8.4f %8.4f %7d", qPrintable(name.right(44)), qlonglong(slides.size()), close,
                slides.isEmpty() ? 0.0 : sum / slides.size(), worstScore, worstAt);
    if (powerpoint)
        std::printf(" %7d", officeClose);
    std::printf("\n");
    std::fflush(stdout);
    return close == slides.size();
}

void printTotals(const QList<Slide> &all, const Options &o, int decksGood, int decksScored) {
    const qsizetype goodSlides = std::count_if(all.begin(), all.end(), [](const Slide &s) { return good(s.score); });
    std::printf("\n%d of %d decks have every slide within %.2f; %lld of %lld slides are\n", decksGood, decksScored,
                FidelityCheck::kGood, qlonglong(goodSlides), qlonglong(all.size()));
    // Each judge alone: how far the closest-judge figure above leans on one of them.
    struct Judge {
        const char *name;
        double Slide::*score;
        bool runs;
    };
    const bool png = o.output.format == TlxOutputOptions::Format::Png;
    for (const Judge &j :
         {Judge{png ? "png as it is" : "inkscape", &Slide::inkscape, true},
          Judge{"office import", &Slide::imported, o.emf}, Judge{"gdi", &Slide::gdi, o.windows},
          Judge{"gdi+", &Slide::gdiplus, o.windows}, Judge{"office's own", &Slide::office, o.powerpoint},
          Judge{"plain office", &Slide::plainOffice, o.plainOffice && o.powerpoint}}) {
        if (!j.runs || all.isEmpty())
            continue;
        const qsizetype within =
            std::count_if(all.begin(), all.end(), [&j](const Slide &s) { return good(s.*j.score); });
        std::printf("    %-14s %lld of %lld slides within %.2f (%.0f%%)\n", j.name, qlonglong(within),
                    qlonglong(all.size()), FidelityCheck::kGood, 100.0 * double(within) / double(all.size()));
    }
}

void writeMontage(QList<Slide> all, const Options &o, const QString &fileName);

// Each half of the manifest on its own, every judge and the office's own drawing beside, and the held-out half's
// worst slides side by side: the figure that counts is the held-out half's.
void printHalves(const QList<Slide> &all, const Options &o, const QHash<QString, bool> &deckGood) {
    for (const QString &half : {QStringLiteral("tuned"), QStringLiteral("held-out")}) {
        QList<Slide> slides;
        QSet<QString> decks;
        for (const Slide &s : all)
            if (o.half.value(QFileInfo(s.deck).completeBaseName()) == half) {
                slides << s;
                decks.insert(s.deck);
            }
        const int good = int(std::count_if(decks.begin(), decks.end(), [&](const QString &d) { return deckGood[d]; }));
        std::printf("\n%s half:", qPrintable(half));
        printTotals(slides, o, good, int(decks.size()));
        if (half == QLatin1String("held-out"))
            writeMontage(slides, o, QStringLiteral("worst-held-out.png"));
    }
}

void writeMontage(QList<Slide> all, const Options &o, const QString &fileName) {
    std::sort(all.begin(), all.end(), [](const Slide &a, const Slide &b) { return a.score > b.score; });
    QList<FidelityCheck::Pair> pairs;
    for (const Slide &s : all.mid(0, o.worst)) {
        QString label = QStringLiteral("%1 #%2 ").arg(s.deck).arg(s.number);
        if (o.powerpoint) {
            label += QStringLiteral("%1/%2").arg(s.office, 0, 'f', 3).arg(s.score, 0, 'f', 3);
            pairs.append({s.reference, s.officePicture, label, s.Closest(o.output), QString()});
            continue;
        }
        label += QStringLiteral("%1/%2").arg(s.inkscape, 0, 'f', 3).arg(s.imported, 0, 'f', 3);
        if (o.windows)
            label += QStringLiteral("/%1").arg(s.gdi, 0, 'f', 3);
        pairs.append({s.reference, s.picture, label, o.emf ? s.import : QString(),
                      o.windows ? FidelityCheck::GdiPicture(s.Drawing(o.output), false) : QString()});
    }
    QString error;
    const QString montage = o.outDir + u'/' + fileName;
    const QStringList captions = o.powerpoint ? QStringList{QStringLiteral(" (PowerPoint)"),
                                                            QStringLiteral(" (office)"), QStringLiteral(" (ours)")}
                                              : QStringList();
    if (!pairs.isEmpty() && FidelityCheck::Montage(pairs, montage, &error, captions))
        std::printf("the %lld worst slides side by side: %s\n", qlonglong(pairs.size()), qPrintable(montage));
    else if (!pairs.isEmpty())
        std::fprintf(stderr, "montage: %s\n", qPrintable(error));
}

bool parse(const QStringList &args, Options &o) {
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--out") && i + 1 < args.size())
            o.outDir = args[++i];
        else if (args[i] == QLatin1String("--worst") && i + 1 < args.size())
            o.worst = args[++i].toInt();
        else if (args[i] == QLatin1String("--plain"))
            o.plain = true;
        else if (args[i] == QLatin1String("--powerpoint"))
            o.powerpoint = true;
        else if (args[i] == QLatin1String("--format") && i + 1 < args.size())
            o.format = args[++i];
        else if (args[i] == QLatin1String("--plain-office"))
            o.plainOffice = true;
        else if (args[i] == QLatin1String("--manifest") && i + 1 < args.size())
            o.manifest = args[++i];
        else
            o.folder = args[i];
    }
    if (o.folder.isEmpty()) {
        std::fprintf(stderr, "usage: fidelity FOLDER [--out DIR] [--worst N] [--plain] [--format emf|svg|png] "
                             "[--powerpoint [--plain-office]] [--manifest FILE]\n");
        return false;
    }
    try {
        o.output = TlxOutputOptions::Parse(o.format, QString(), QString(), QStringLiteral("960"));
    } catch (const ElxError &e) {
        std::fprintf(stderr, "fidelity: %s\n", qPrintable(e.Message()));
        return false;
    }
    o.emf = o.output.format == TlxOutputOptions::Format::Emf;
    o.half = halvesOf(o.manifest.isEmpty() ? o.folder + QStringLiteral("/MANIFEST.tsv") : o.manifest);
    return true;
}
} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    Options o;
    if (!parse(app.arguments().mid(1), o))
        return 2;
    const QString missing = FidelityCheck::MissingTools();
    if (!missing.isEmpty()) {
        std::fprintf(stderr, "fidelity: %s\n", qPrintable(missing));
        return 2;
    }
    // Windows' players are a judge where they can run; without them the others still judge.
    const QString gdiMissing = o.emf ? FidelityCheck::MissingGdi() : QString();
    o.windows = o.emf && gdiMissing.isEmpty();
    if (o.emf && !o.windows)
        std::fprintf(stderr, "fidelity: no Windows GDI judge: %s\n", qPrintable(gdiMissing));
    QTemporaryDir tmp(QDir::tempPath() + QStringLiteral("/fidelity-XXXXXX"));
    tmp.setAutoRemove(false);
    if (o.outDir.isEmpty())
        o.outDir = tmp.path();
    QDir().mkpath(o.outDir);

    std::printf("%-44s %6s %6s %8s %8s %7s%s\n", "deck", "slides", "good", "mean", "worst", "at",
                o.powerpoint ? "  office" : "");
    QList<Slide> all;
    int decksGood = 0, decksScored = 0;
    QHash<QString, bool> deckGood;
    office::OfficeSession session;
    for (const QString &deck : decksIn(o.folder, o.powerpoint)) {
        const QString name = QDir(o.folder).relativeFilePath(deck);
        const QString dir = o.outDir + u'/' + QString(name).replace(u'/', u'_');
        // Afresh: pictures an earlier run left (its judges' copies among them) would be taken for pages.
        QDir(dir).removeRecursively();
        QDir().mkpath(dir);
        QList<Slide> slides;
        try {
            slides = convertDeck(session, o, deck, name, dir);
        } catch (const std::exception &e) {
            std::printf("%-44s failed: %s\n", qPrintable(name), e.what());
            continue;
        }
        judgeDeck(slides, o, name);
        ++decksScored;
        deckGood[name] = printDeck(slides, name, o.powerpoint);
        decksGood += deckGood[name];
        all << slides;
    }
    printTotals(all, o, decksGood, decksScored);
    writeMontage(all, o, QStringLiteral("worst.png"));
    if (!o.half.isEmpty())
        printHalves(all, o, deckGood);
    return 0;
}
