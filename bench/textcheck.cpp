// Whether this program's PDF of each deck has the words of the office's own PDF, slide by slide: nothing it does to
// a deck before the office draws it (the deck's fonts, shrink-to-fit scales, pictures) may lose text the office
// alone would show.
//
// Usage: textcheck FOLDER... [--out DIR] [--reuse]
//   The presentations directly in each FOLDER are converted twice, in one run each: by this program's console
//   (`vorlane -f pdf --flat`) and by `soffice --convert-to pdf` with a profile of its own. pdftotext reads each
//   page; a slide whose words differ is named with the words missing from ours and those only ours has. The PDFs
//   stay in DIR (a new folder under /tmp by default); --reuse compares those an earlier run left there. A slide
//   whose letters are all there, its lines broken elsewhere, is the same. Exit code 0 when every deck has the same
//   words on every slide, 1 when a difference is named, 2 when it could not run.
#include "SlideWords.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>

#include <cstdio>

namespace {
QStringList decksIn(const QStringList &folders) {
    const QStringList masks = {QStringLiteral("*.ppt"), QStringLiteral("*.pptx"), QStringLiteral("*.pptm"),
                               QStringLiteral("*.pps"), QStringLiteral("*.ppsx"), QStringLiteral("*.odp")};
    QStringList decks;
    for (const QString &folder : folders)
        for (const QFileInfo &f : QDir(folder).entryInfoList(masks, QDir::Files, QDir::Name))
            decks << f.absoluteFilePath();
    return decks;
}

// Runs a converter over every deck in one go; false, and what it said, when it could not run.
bool run(const QString &program, const QStringList &arguments, QString *said) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, arguments);
    const bool ended = p.waitForFinished(-1);
    *said = QString::fromLocal8Bit(p.readAll()).trimmed();
    return ended && p.exitStatus() == QProcess::NormalExit;
}

// One deck's line: its slides and how many differ, then each difference; false when a difference is named.
bool compare(const QString &deck, const QString &ours, const QString &office) {
    QString error;
    const QList<QStringList> officeWords = SlideWords::FromPdf(office, &error);
    const QList<QStringList> ourWords = error.isEmpty() ? SlideWords::FromPdf(ours, &error) : QList<QStringList>();
    const QString name = QFileInfo(deck).fileName();
    if (!QFileInfo::exists(office) || !QFileInfo::exists(ours) || !error.isEmpty()) {
        std::printf("%-50s not compared: %s\n", qPrintable(name),
                    qPrintable(!error.isEmpty()             ? error
                               : !QFileInfo::exists(office) ? QStringLiteral("the office wrote no PDF")
                                                            : QStringLiteral("this program wrote no PDF")));
        return QFileInfo::exists(office) == QFileInfo::exists(ours);
    }
    const QStringList differences = SlideWords::Differences(ourWords, officeWords);
    std::printf("%-50s %4lld slides, %s\n", qPrintable(name), static_cast<long long>(officeWords.size()),
                differences.isEmpty() ? "the same words on each"
                                      : qPrintable(QStringLiteral("%1 differ").arg(differences.size())));
    for (const QString &line : differences)
        std::printf("    %s\n", qPrintable(line));
    return differences.isEmpty();
}
} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    QStringList folders = app.arguments().mid(1);
    QString out;
    if (const qsizetype at = folders.indexOf(QStringLiteral("--out")); at >= 0 && at + 1 < folders.size()) {
        out = folders.at(at + 1);
        folders.remove(at, 2);
    }
    // --reuse compares the PDFs an earlier run left in DIR.
    const bool reuse = folders.removeAll(QStringLiteral("--reuse")) > 0;
    const QStringList decks = decksIn(folders);
    if (decks.isEmpty()) {
        std::fprintf(stderr, "usage: textcheck FOLDER... [--out DIR]: no presentations there\n");
        return 2;
    }
    QTemporaryDir tmp(QDir::tempPath() + QStringLiteral("/textcheck-XXXXXX"));
    tmp.setAutoRemove(false);
    const QDir dir(out.isEmpty() ? tmp.path() : out);
    QDir().mkpath(dir.filePath(QStringLiteral("ours")));
    QDir().mkpath(dir.filePath(QStringLiteral("office")));
    QString said;
    if (!reuse &&
        (!run(QStringLiteral(VORLANE_BINARY),
              QStringList{QStringLiteral("-f"), QStringLiteral("pdf"), QStringLiteral("--flat"), QStringLiteral("-q"),
                          QStringLiteral("-o"), dir.filePath(QStringLiteral("ours"))} +
                  decks,
              &said) ||
         !run(QStringLiteral("soffice"),
              QStringList{QStringLiteral("-env:UserInstallation=file://") + dir.filePath(QStringLiteral("profile")),
                          QStringLiteral("--headless"), QStringLiteral("--norestore"), QStringLiteral("--convert-to"),
                          QStringLiteral("pdf"), QStringLiteral("--outdir"), dir.filePath(QStringLiteral("office"))} +
                  decks,
              &said))) {
        std::fprintf(stderr, "textcheck: a converter did not run: %s\n", qPrintable(said));
        return 2;
    }
    int same = 0;
    QSet<QString> names;
    for (const QString &deck : decks) {
        const QString pdf = QFileInfo(deck).completeBaseName() + QStringLiteral(".pdf");
        // The office writes one name.pdf for talk.ppt and talk.pptx: only the first of them is compared.
        if (names.contains(pdf)) {
            std::printf("%-50s not compared: another deck here has its name\n", qPrintable(QFileInfo(deck).fileName()));
            continue;
        }
        names.insert(pdf);
        same +=
            compare(deck, dir.filePath(QStringLiteral("ours/") + pdf), dir.filePath(QStringLiteral("office/") + pdf));
    }
    std::printf("\n%d of %lld decks compared have the same words on every slide (PDFs in %s)\n", same,
                static_cast<long long>(names.size()), qPrintable(dir.path()));
    return same == names.size() ? 0 : 1;
}
