#include "platform/office/OfficeSlideExport.h"

#include "engine/lxFileName.h"
#include "engine/lxWorkTimes.h"
#include "platform/office/OfficeHelpers.h"
#include "platform/office/OfficeStrings.h"

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

bool OfficeSlideExport::Write(const Reference<drawing::XDrawPage> &slide, const QString &path, QString *error) {
    TlxWorkTimes::Scope exporting(TlxWorkTimes::Export);
    m_exporter->setSourceDocument(Reference<lang::XComponent>(slide, UNO_QUERY_THROW));
    const uno::Sequence<beans::PropertyValue> args =
        props({prop("URL", uno::Any(toOU(fileUrl(path)))), prop("MediaType", uno::Any(OUString("image/x-emf")))});
    if (Reference<document::XFilter>(m_exporter, UNO_QUERY_THROW)->filter(args) && TlxFileName::Size(path) > 0)
        return true;
    *error = WhyNothing(folderOf(path), QStringLiteral("the office wrote nothing"));
    return false;
}

} // namespace office
