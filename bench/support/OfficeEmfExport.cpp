#include "OfficeEmfExport.h"

#include "base/lxFileName.h"
#include "base/lxOutputOptions.h"
#include "platform/office/OfficeHelpers.h"
#include "platform/office/OfficePictureLimit.h"
#include "platform/office/OfficeSession.h"
#include "platform/office/OfficeSlideExport.h"
#include "platform/office/OfficeStrings.h"
#include "render/lxEmfFile.h"

#include <com/sun/star/document/XFilter.hpp>
#include <com/sun/star/drawing/GraphicExportFilter.hpp>
#include <com/sun/star/drawing/XDrawPagesSupplier.hpp>

using namespace css;
using css::uno::Reference;
using css::uno::UNO_QUERY_THROW;

namespace {
// One slide through the office's graphic export as EMF; the reason when it wrote nothing whole.
QString writeSlide(const Reference<drawing::XGraphicExportFilter> &exporter, const Reference<drawing::XDrawPage> &slide,
                   const QString &path) {
    exporter->setSourceDocument(Reference<lang::XComponent>(slide, UNO_QUERY_THROW));
    const uno::Sequence<beans::PropertyValue> args =
        office::props({office::prop("URL", uno::Any(office::toOU(office::fileUrl(path)))),
                       office::prop("MediaType", uno::Any(rtl::OUString("image/x-emf")))});
    if (!Reference<document::XFilter>(exporter, UNO_QUERY_THROW)->filter(args) || TlxFileName::Size(path) <= 0)
        return office::OfficeSlideExport::WhyNothing(office::folderOf(path),
                                                     QStringLiteral("the office wrote nothing"));
    return TlxEmfFile::CheckFile(path);
}
} // namespace

bool WriteOfficeEmf(office::OfficeSession &session, int doc, const QString &target, int imageResolution,
                    QString *error) {
    session.WithDocument(
        doc, [&](const Reference<uno::XComponentContext> &context, const Reference<lang::XComponent> &component) {
            const Reference<drawing::XDrawPages> pages =
                Reference<drawing::XDrawPagesSupplier>(component, UNO_QUERY_THROW)->getDrawPages();
            office::OfficePictureLimit pictures(context, component, imageResolution);
            const Reference<drawing::XGraphicExportFilter> exporter = drawing::GraphicExportFilter::create(context);
            for (sal_Int32 k = 1; k <= pages->getCount() && error->isEmpty(); ++k) {
                const Reference<drawing::XDrawPage> slide(pages->getByIndex(k - 1), UNO_QUERY_THROW);
                pictures.Apply(slide);
                const QString why = writeSlide(exporter, slide, TlxOutputOptions::SlidePath(target, k));
                if (!why.isEmpty())
                    *error = QStringLiteral("slide %1: %2").arg(k).arg(why);
            }
        });
    return error->isEmpty();
}
