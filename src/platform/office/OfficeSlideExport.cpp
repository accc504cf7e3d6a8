#include "platform/office/OfficeSlideExport.h"

#include "base/lxFileName.h"
#include "base/lxWorkTimes.h"
#include "platform/office/OfficeHelpers.h"
#include "platform/office/OfficeStrings.h"

#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/document/XFilter.hpp>
#include <com/sun/star/lang/XComponent.hpp>

#include <sys/statvfs.h>

using namespace css;
using css::uno::Reference;
using css::uno::UNO_QUERY_THROW;

namespace office {

QString OfficeSlideExport::WhyNothing(const QString &dir, const QString &what) {
    // The office does not say why it wrote nothing; a folder without room is the usual reason.
    struct statvfs fs {};
    if (::statvfs(TlxFileName::Encode(dir).constData(), &fs) == 0 && quint64(fs.f_bavail) * fs.f_frsize < (1u << 20))
        return QStringLiteral("the disk is full");
    return what;
}

bool OfficeSlideExport::WritePng(const Reference<drawing::XDrawPage> &slide, const QString &path, int width,
                                 QString *error) {
    TlxWorkTimes::Scope exporting(TlxWorkTimes::Export);
    Reference<beans::XPropertySet> size(slide, UNO_QUERY_THROW);
    sal_Int32 w = 0, h = 0;
    size->getPropertyValue("Width") >>= w;
    size->getPropertyValue("Height") >>= h;
    const sal_Int32 height = w > 0 ? sal_Int32(qint64(width) * h / w) : width * 3 / 4;
    m_exporter->setSourceDocument(Reference<lang::XComponent>(slide, UNO_QUERY_THROW));
    const uno::Sequence<beans::PropertyValue> filterData =
        props({prop("PixelWidth", uno::Any(sal_Int32(width))), prop("PixelHeight", uno::Any(height))});
    const uno::Sequence<beans::PropertyValue> args =
        props({prop("URL", uno::Any(toOU(fileUrl(path)))), prop("MediaType", uno::Any(OUString("image/png"))),
               prop("FilterData", uno::Any(filterData))});
    if (Reference<document::XFilter>(m_exporter, UNO_QUERY_THROW)->filter(args) && TlxFileName::Size(path) > 0)
        return true;
    *error = WhyNothing(folderOf(path), QStringLiteral("the office wrote no picture"));
    return false;
}

} // namespace office
