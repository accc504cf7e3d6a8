#include "platform/office/OfficeOutput.h"

#include "base/lxFileName.h"
#include "base/lxOutputFiles.h"
#include "base/lxWorkTimes.h"
#include "platform/office/OfficeErrors.h"
#include "platform/office/OfficeHelpers.h"
#include "platform/office/OfficePdfExport.h"
#include "platform/office/OfficePictureLimit.h"
#include "platform/office/OfficeSlideExport.h"
#include "render/PageOutput.h"
#include "render/PdfPages.h"

#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/drawing/XDrawPage.hpp>
#include <com/sun/star/drawing/XDrawPagesSupplier.hpp>

#include <QDir>
#include <QFile>

using namespace css;
using css::uno::Reference;
using css::uno::UNO_QUERY_THROW;

namespace office {

namespace {
// The chosen slides of a deck of count slides; an Error when the deck has none or none is chosen.
QList<int> chosenSlides(int count, const TlxOutputOptions &options, const QString &source, const QString &target) {
    if (count == 0)
        throw Error(Failure::NoSlides, source);
    const QList<int> chosen = options.ChosenSlides(count);
    if (chosen.isEmpty())
        throw Error(Failure::ExportFailed, target,
                    QStringLiteral("the deck has %1 slides, none of them among the slides %2")
                        .arg(count)
                        .arg(options.SlidesText()));
    return chosen;
}

// A temporary file for final among files; an Error when its folder refuses files.
QString temporaryFor(TlxOutputFiles &files, const QString &final) {
    QString error;
    const QString tmp = files.Temporary(final, &error);
    if (tmp.isEmpty())
        throw Error(Failure::OutputNotWritable, final, error);
    return tmp;
}

} // namespace

void OfficeOutput::Write(const TlxOutputOptions &options, const QString &target, TlxOutputFiles &files) {
    using Format = TlxOutputOptions::Format;
    const Reference<drawing::XDrawPages> pages =
        Reference<drawing::XDrawPagesSupplier>(m_component, UNO_QUERY_THROW)->getDrawPages();
    const int count = pages->getCount();
    const QList<int> chosen = chosenSlides(count, options, m_source, target);
    // Pictures are kept at most this fine; a PNG needs them no finer than its own pixels.
    const int resolution = options.format == Format::Png ? pngResolution(pages, chosen.first(), options.pngWidth)
                                                         : options.imageResolution;
    OfficePictureLimit pictures(m_context, m_component, resolution);
    for (int k : chosen)
        pictures.Apply(Reference<drawing::XDrawPage>(pages->getByIndex(k - 1), UNO_QUERY_THROW));
    if (options.format == Format::Pdf)
        writePdf(options, chosen, target, files);
    else
        writePdfPages(options, chosen, count, target, files);
}

void OfficeOutput::writePdf(const TlxOutputOptions &options, const QList<int> &chosen, const QString &target,
                            TlxOutputFiles &files) {
    const QString tmp = temporaryFor(files, target);
    TlxWorkTimes::Scope exporting(TlxWorkTimes::Export);
    OfficePdfExport::Store(m_context, m_component, tmp, options.imageResolution,
                           options.AllSlides() ? QList<int>() : chosen, false);
    QString error;
    QFile file;
    QByteArray data;
    if (TlxFileName::Open(file, tmp, QIODevice::ReadOnly, &error))
        data = file.readAll();
    error = error.isEmpty() ? PageOutput::CheckPdf(data) : QStringLiteral("it cannot be read (%1)").arg(error);
    if (!error.isEmpty())
        throw Error(
            Failure::ExportFailed, target,
            OfficeSlideExport::WhyNothing(folderOf(target), QStringLiteral("the PDF is not valid: %1").arg(error)));
}

void OfficeOutput::writePdfPages(const TlxOutputOptions &options, const QList<int> &chosen, int count,
                                 const QString &target, TlxOutputFiles &files) {
    // Every per-slide format is drawn here from one PDF of the chosen slides, made in one call: the office draws
    // each slide whole (master objects, fields, transparency, pictures in their places).
    QString why;
    const PdfPages drawn(
        OfficePdfExport::Pages(m_context, m_component, options.AllSlides() ? QList<int>() : chosen, &why));
    if (!why.isEmpty())
        throw Error(Failure::ExportFailed, target, OfficeSlideExport::WhyNothing(QDir::tempPath(), why));
    if (!drawn.Error().isEmpty())
        throw Error(Failure::ExportFailed, target, drawn.Error());
    if (drawn.Count() != chosen.size())
        throw Error(
            Failure::ExportFailed, target,
            QStringLiteral("the office's PDF has %1 pages for %2 slides").arg(drawn.Count()).arg(chosen.size()));
    // The drawing is part of the file's work: the time limit covers it as it covers the office's calls.
    const auto deadline = m_limitSeconds > 0 ? m_startedAt + std::chrono::seconds(m_limitSeconds)
                                             : std::chrono::steady_clock::time_point::max();
    for (qsizetype i = 0; i < chosen.size(); ++i) {
        const int k = chosen.at(i);
        const QString final = TlxOutputOptions::SlidePath(target, k);
        const QString tmp = temporaryFor(files, final);
        TlxWorkTimes::Scope writing(TlxWorkTimes::Write);
        QString error;
        const QByteArray page = PageOutput::Draw(drawn, int(i), options, deadline, &error);
        if (!error.isEmpty() && std::chrono::steady_clock::now() >= deadline)
            throw Error(Failure::Timeout, m_source, QString::number(m_limitSeconds));
        if (error.isEmpty())
            error = TlxOutputFiles::WriteWhole(tmp, page);
        if (!error.isEmpty())
            throw Error(Failure::ExportFailed, final,
                        QStringLiteral("slide %1 of %2 was not written: %3").arg(k).arg(count).arg(error));
    }
}

int OfficeOutput::pngResolution(const Reference<drawing::XDrawPages> &pages, int slide, int pngWidth) {
    sal_Int32 width = 0;
    Reference<beans::XPropertySet>(pages->getByIndex(slide - 1), UNO_QUERY_THROW)->getPropertyValue("Width") >>= width;
    return width > 0 ? int((qint64(pngWidth) * 2540 + width - 1) / width) : 0;
}

} // namespace office
