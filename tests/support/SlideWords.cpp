#include "SlideWords.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QUrl>

QList<QStringList> SlideWords::FromPdf(const QString &pdf, QString *error) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf, QStringLiteral("-")});
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        p.kill();
        *error = QStringLiteral("pdftotext could not read %1: %2")
                     .arg(pdf, QString::fromLocal8Bit(p.readAllStandardError()).trimmed());
        return {};
    }
    // pdftotext ends every page with a form feed.
    QStringList pages = QString::fromUtf8(p.readAllStandardOutput()).split(u'\f');
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    static const QRegularExpression space(QStringLiteral("\\s+"));
    QList<QStringList> words;
    for (const QString &page : pages) {
        QStringList w = page.split(space, Qt::SkipEmptyParts);
        w.sort();
        words << w;
    }
    return words;
}

QString SlideWords::OfficePdf(const QString &deck, const QString &dir, QString *error) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(
        QStringLiteral("soffice"),
        {QStringLiteral("-env:UserInstallation=") + QUrl::fromLocalFile(dir + QStringLiteral("/profile")).toString(),
         QStringLiteral("--headless"), QStringLiteral("--norestore"), QStringLiteral("--convert-to"),
         QStringLiteral("pdf"), QStringLiteral("--outdir"), dir, deck});
    const bool ended = p.waitForFinished(300000);
    if (!ended)
        p.kill(), p.waitForFinished(10000);
    const QString pdf = QDir(dir).filePath(QFileInfo(deck).completeBaseName() + QStringLiteral(".pdf"));
    if (!ended || !QFileInfo::exists(pdf)) {
        *error = QStringLiteral("the office wrote no PDF of %1%2: %3")
                     .arg(deck, ended ? QString() : QStringLiteral(" in 300 s"),
                          QString::fromLocal8Bit(p.readAll()).trimmed());
        return QString();
    }
    return pdf;
}

namespace {
// The words of a that b lacks, each as often as it is missing, quoted.
QString lacking(const QStringList &a, const QStringList &b) {
    QStringList rest = b, missing;
    for (const QString &w : a)
        if (!rest.removeOne(w))
            missing << u'"' + w + u'"';
    return missing.join(u' ');
}
} // namespace

namespace {
// The page's letters in order of their code, without what only tells how its lines broke or which way its text
// runs: a slide whose lines break elsewhere (another font's widths, another shrink-to-fit scale) has every letter
// still, where a lost line lacks its letters.
QString letters(const QStringList &words) {
    QString all = words.join(QString());
    all.removeIf([](QChar c) {
        const char16_t u = c.unicode();
        return u == u'-' || u == 0x00ad || u == 0x0640 || (u >= 0x200b && u <= 0x200f) ||
               (u >= 0x2010 && u <= 0x2011) || (u >= 0x202a && u <= 0x202e) || (u >= 0x2066 && u <= 0x2069);
    });
    std::sort(all.begin(), all.end());
    return all;
}
} // namespace

QStringList SlideWords::Differences(const QList<QStringList> &ours, const QList<QStringList> &office) {
    QStringList lines;
    if (ours.size() != office.size())
        lines << QStringLiteral("%1 pages against the office's %2").arg(ours.size()).arg(office.size());
    for (qsizetype i = 0; i < std::min(ours.size(), office.size()); ++i) {
        if (letters(ours.at(i)) == letters(office.at(i)))
            continue; // the same text, its lines broken elsewhere
        const QString missing = lacking(office.at(i), ours.at(i)), extra = lacking(ours.at(i), office.at(i));
        if (missing.isEmpty() && extra.isEmpty())
            continue;
        QStringList parts;
        if (!missing.isEmpty())
            parts << QStringLiteral("missing ") + missing;
        if (!extra.isEmpty())
            parts << QStringLiteral("extra ") + extra;
        lines << QStringLiteral("slide %1: %2").arg(i + 1).arg(parts.join(QStringLiteral("; ")));
    }
    return lines;
}
