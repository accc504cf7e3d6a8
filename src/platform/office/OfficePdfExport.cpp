#include "platform/office/OfficePdfExport.h"

#include "base/lxFileName.h"
#include "base/lxOutputFiles.h"
#include "base/lxWorkTimes.h"
#include "platform/office/OfficeHelpers.h"
#include "platform/office/OfficeStrings.h"
#include "render/PageOutput.h"

#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/document/XExporter.hpp>
#include <com/sun/star/document/XFilter.hpp>
#include <com/sun/star/io/IOException.hpp>
#include <com/sun/star/io/XOutputStream.hpp>
#include <com/sun/star/lang/XMultiComponentFactory.hpp>
#include <com/sun/star/ucb/SimpleFileAccess.hpp>

#include <QDir>
#include <QFile>

using namespace css;
using css::uno::Reference;
using css::uno::UNO_QUERY_THROW;

namespace office {

QString OfficePdfExport::PageRange(const QList<int> &slides) {
    QStringList parts;
    for (qsizetype i = 0; i < slides.size();) {
        qsizetype j = i;
        while (j + 1 < slides.size() && slides.at(j + 1) == slides.at(j) + 1)
            ++j;
        parts << (i == j ? QString::number(slides.at(i)) : QStringLiteral("%1-%2").arg(slides.at(i)).arg(slides.at(j)));
        i = j + 1;
    }
    return parts.join(u',');
}

void OfficePdfExport::Store(const Reference<uno::XComponentContext> &context,
                            const Reference<lang::XComponent> &component, const QString &path, int resolution,
                            const QList<int> &slides, bool hidden) {
    uno::Sequence<beans::PropertyValue> filterData =
        props({prop("ReduceImageResolution", uno::Any(resolution > 0)),
               prop("MaxImageResolution", uno::Any(sal_Int32(std::max(1, resolution)))),
               prop("ExportNotesPages", uno::Any(false)), prop("ExportNotes", uno::Any(false)),
               prop("ExportHiddenSlides", uno::Any(hidden))});
    if (!slides.isEmpty()) {
        filterData.realloc(filterData.getLength() + 1);
        filterData.getArray()[filterData.getLength() - 1] = prop("PageRange", uno::Any(toOU(PageRange(slides))));
    }
    // The PDF filter itself, writing into a stream of the file: storing the document would first read its own
    // location, which the office refuses for a deck whose name is not valid UTF-8.
    const Reference<lang::XMultiComponentFactory> factory = context->getServiceManager();
    Reference<document::XExporter> exporter(
        factory->createInstanceWithContext("com.sun.star.comp.PDF.PDFFilter", context), UNO_QUERY_THROW);
    exporter->setSourceDocument(component);
    const Reference<io::XOutputStream> out = ucb::SimpleFileAccess::create(context)->openFileWrite(toOU(fileUrl(path)));
    bool written = false;
    try {
        written = Reference<document::XFilter>(exporter, UNO_QUERY_THROW)
                      ->filter(props({prop("OutputStream", uno::Any(out)), prop("FilterData", uno::Any(filterData))}));
    } catch (...) {
        out->closeOutput();
        throw;
    }
    out->closeOutput();
    if (!written)
        throw io::IOException("the office's PDF export failed");
}

QByteArray OfficePdfExport::Pages(const Reference<uno::XComponentContext> &context,
                                  const Reference<lang::XComponent> &component, const QList<int> &slides,
                                  QString *why) {
    // In the temporary folder: only the pages drawn from it go to the target.
    const QString scratch = TlxOutputFiles::CreateTemporary(QDir::tempPath(), QStringLiteral(".pdf"), why);
    if (scratch.isEmpty())
        return QByteArray();
    QByteArray pdf;
    try {
        TlxWorkTimes::Scope exporting(TlxWorkTimes::Export);
        // Hidden slides too: slide k is always the file "-k", as in the other formats. The pictures are at their
        // limit already.
        Store(context, component, scratch, 0, slides, true);
        QFile file;
        if (TlxFileName::Open(file, scratch, QIODevice::ReadOnly, why))
            pdf = file.readAll();
    } catch (...) {
        TlxFileName::Remove(scratch);
        throw;
    }
    TlxFileName::Remove(scratch);
    if (why->isEmpty() && !PageOutput::CheckPdf(pdf).isEmpty())
        *why = QStringLiteral("the office wrote no complete PDF");
    return why->isEmpty() ? pdf : QByteArray();
}

} // namespace office
