#pragma once

#include <com/sun/star/drawing/XDrawPage.hpp>
#include <com/sun/star/drawing/XGraphicExportFilter.hpp>

#include <QString>

namespace office {

// Writes one slide with the office's own picture export: the whole slide as the office shows it, a PNG for the
// window's preview.
class OfficeSlideExport {
public:
    explicit OfficeSlideExport(const css::uno::Reference<css::drawing::XGraphicExportFilter> &exporter)
        : m_exporter(exporter) {}

    // Writes the slide to path as a PNG width pixels wide (its height follows the slide). Returns false with error
    // set when the office wrote nothing.
    bool WritePng(const css::uno::Reference<css::drawing::XDrawPage> &slide, const QString &path, int width,
                  QString *error);

    // what, or "the disk is full" when dir has (almost) no room left: the office does not say why it failed.
    static QString WhyNothing(const QString &dir, const QString &what);

private:
    css::uno::Reference<css::drawing::XGraphicExportFilter> m_exporter;
};

} // namespace office
