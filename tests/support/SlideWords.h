#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The words on each page of a PDF, as pdftotext finds them on the page (text outside it is not on the slide), and
// what one PDF of a deck lacks or adds against another: the check that nothing done to a deck loses text the
// office alone would show.
class SlideWords {
public:
    // Each page's words, sorted; empty with a reason when pdftotext could not read the PDF.
    static QList<QStringList> FromPdf(const QString &pdf, QString *error);
    // The office's own PDF of the deck, as `soffice --convert-to pdf` writes it with a profile of its own, in dir;
    // empty with a reason when it wrote none within the time limit.
    static QString OfficePdf(const QString &deck, const QString &dir, QString *error);
    // One line per slide whose text differs: "slide 3: missing "Upper" "Title"; extra "x"", and one for a page
    // count that differs. Empty when every slide has the same letters: lines that break elsewhere (a word split at
    // another hyphen, a long address cut at another place, right-to-left marks) lose nothing.
    static QStringList Differences(const QList<QStringList> &ours, const QList<QStringList> &office);
};
