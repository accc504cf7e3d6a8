#pragma once

#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/drawing/XDrawPage.hpp>
#include <com/sun/star/drawing/XGraphicExportFilter.hpp>
#include <com/sun/star/drawing/XShape.hpp>

#include <QByteArray>
#include <QHash>
#include <QRect>
#include <QString>
#include <QStringList>

#include <map>
#include <vector>

namespace office {

// Writes one slide as the office shows it into one EMF or SVG drawing.
//
// The office's vector export of a slide draws its own shapes but leaves out the objects of its master page
// (logos, bars, rules, header and footer fields) and, in some decks, the master's background. So a slide is
// drawn in up to three layers, each exported by the office on its own and composed into one file: the
// background, the master's objects as the slide shows them (placeholders hidden, the footer fields the slide
// asks for, with the slide's own texts and number), and the slide's own shapes. A slide with neither background
// nor master objects is its own shapes alone, in one piece.
// Changes to the pages for a layer are made in memory only and undone at once; the deck is never stored.
class OfficeSlideExport {
public:
    enum class Drawing { Emf, Svg };
    OfficeSlideExport(const css::uno::Reference<css::drawing::XGraphicExportFilter> &exporter,
                      Drawing drawing = Drawing::Emf)
        : m_exporter(exporter), m_drawing(drawing) {}

    // Writes the slide to path (an existing, empty temporary file). Layers go to a temporary file beside it,
    // which is gone again when this returns. One object serves the slides of one deck. Returns false with error set
    // when the office wrote nothing usable.
    bool Write(const css::uno::Reference<css::drawing::XDrawPage> &slide, const QString &path, QString *error);

    // Off: every slide in one piece, as the office's own export writes it (for comparisons).
    void SetComposeLayers(bool on) { m_compose = on; }

    // what, or "the disk is full" when dir has (almost) no room left: the office does not say why it failed.
    static QString WhyNothing(const QString &dir, const QString &what);

    enum class Kind { Decoration, Footer, Date, Number, Header, Placeholder };

private:
    // A master's object as the deck has it; the slides only change its visibility for a layer, and undo it.
    struct Shape {
        css::uno::Reference<css::drawing::XShape> shape;
        css::uno::Reference<css::beans::XPropertySet> set;
        Kind kind;
        bool visible;
        QRect area; // in the page's units
    };
    const std::vector<Shape> &shapesOf(const css::uno::Reference<css::drawing::XDrawPage> &master);
    bool exportPage(const css::uno::Reference<css::lang::XComponent> &page, const QString &path,
                    const css::uno::Sequence<css::beans::PropertyValue> &filterData);

    css::uno::Reference<css::drawing::XGraphicExportFilter> m_exporter;
    Drawing m_drawing;
    QHash<QString, QByteArray> m_cache; // layers shared by the slides of one master
    std::map<QString, std::vector<Shape>> m_masters;
    bool m_compose = true;
};

} // namespace office
