#pragma once

#include <com/sun/star/drawing/XDrawPage.hpp>
#include <com/sun/star/drawing/XGraphicExportFilter.hpp>

#include <QString>

namespace office {

// Writes one slide as the office's own EMF export draws it: its own shapes, without the objects of its master
// page. Slides are drawn from the office's PDF instead; this export stays for comparisons with the office's.
class OfficeSlideExport {
public:
    explicit OfficeSlideExport(const css::uno::Reference<css::drawing::XGraphicExportFilter> &exporter)
        : m_exporter(exporter) {}

    // Writes the slide to path (an existing, empty temporary file). Returns false with error set when the office
    // wrote nothing.
    bool Write(const css::uno::Reference<css::drawing::XDrawPage> &slide, const QString &path, QString *error);

    // what, or "the disk is full" when dir has (almost) no room left: the office does not say why it failed.
    static QString WhyNothing(const QString &dir, const QString &what);

private:
    css::uno::Reference<css::drawing::XGraphicExportFilter> m_exporter;
};

} // namespace office
