#pragma once

#include "engine/lxSlideLayers.h"

#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/drawing/XDrawPage.hpp>
#include <com/sun/star/drawing/XGraphicExportFilter.hpp>
#include <com/sun/star/drawing/XShape.hpp>

#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>

#include <functional>
#include <map>
#include <vector>

namespace office {

// Writes one slide as the office shows it into one EMF or SVG drawing.
//
// The office's vector export of a slide draws its own shapes but leaves out the objects of its master page
// (logos, bars, rules, header and footer fields) and, in some decks, the master's background. So a slide is
// drawn in up to four layers, each exported by the office on its own, checked, and composed into one file: the
// background, the master's decoration, the master's footer fields as the slide shows them (with the slide's own
// texts and number), and the slide's own shapes. Which layers a slide needs is read from the document; a layer
// it needs that the office does not write whole fails the slide. A slide with neither background nor master
// objects is its own shapes alone, in one piece.
// Changes to the pages for a layer are made in memory only and undone at once; the deck is never stored.
class OfficeSlideExport {
public:
    using Drawing = TlxSlideLayers::Drawing;
    OfficeSlideExport(const css::uno::Reference<css::drawing::XGraphicExportFilter> &exporter,
                      Drawing drawing = Drawing::Emf)
        : m_exporter(exporter), m_drawing(drawing) {}
    ~OfficeSlideExport();
    OfficeSlideExport(const OfficeSlideExport &) = delete;
    OfficeSlideExport &operator=(const OfficeSlideExport &) = delete;

    // Writes the slide to path (an existing, empty temporary file). One object serves the slides of one deck and
    // must be gone before the deck is closed. Returns false with error set when the slide could not be drawn
    // whole; path may then hold part of it.
    bool Write(const css::uno::Reference<css::drawing::XDrawPage> &slide, const QString &path, QString *error);

    // Off: every slide in one piece, as the office's own export writes it (for comparisons).
    void SetComposeLayers(bool on) { m_compose = on; }
    // How fine (pixels an inch) the parts of a slide that an EMF cannot hold as the office shows them are drawn
    // as a picture instead: where shapes with transparency lie, whose transparency the office's EMF export drops.
    // Not set: every shape stays vectors.
    void SetPictureResolution(int resolution) { m_resolution = resolution > 0 ? resolution : 220; }

    // what, or "the disk is full" when dir has (almost) no room left: the office does not say why it failed.
    static QString WhyNothing(const QString &dir, const QString &what);

    enum class Kind { Decoration, FieldText, Footer, Date, Number, Header, Placeholder };

private:
    // A master's object as the deck has it; the slides only change its visibility for a layer, and undo it.
    struct Shape {
        css::uno::Reference<css::drawing::XShape> shape;
        css::uno::Reference<css::beans::XPropertySet> set;
        Kind kind;
        bool visible;
        QRect area;       // in the page's units
        bool transparent; // drawn with transparency the EMF would drop
    };
    struct Plan;
    class MasterView;

    Plan planFor(const css::uno::Reference<css::drawing::XDrawPage> &slide);
    const std::vector<Shape> &shapesOf(const css::uno::Reference<css::drawing::XDrawPage> &master, const QString &name);

    QString addBackground(const css::uno::Reference<css::drawing::XDrawPage> &slide, const Plan &plan,
                          TlxSlideLayers &layers);
    QString addMasterObjects(const css::uno::Reference<css::drawing::XDrawPage> &slide, const Plan &plan,
                             TlxSlideLayers &layers);
    QString addMasterPicture(const css::uno::Reference<css::drawing::XDrawPage> &slide, const Plan &plan,
                             TlxSlideLayers &layers);
    QString addOwnShapes(const css::uno::Reference<css::drawing::XDrawPage> &slide, const Plan &plan,
                         TlxSlideLayers *layers, const QString &alone);
    QString addOwnRuns(const css::uno::Reference<css::drawing::XDrawPage> &slide, const Plan &plan,
                       TlxSlideLayers &layers, bool background, bool objects);
    // The slide as the office shows it, with the own shapes visible now, drawn as a picture and cut to area.
    QString exportPictureLayer(const css::uno::Reference<css::drawing::XDrawPage> &slide, QRect area, bool background,
                               bool objects, const QString &what, QByteArray *layer);
    QString exportPng(const css::uno::Reference<css::drawing::XDrawPage> &page, QSize pixels, QImage *picture);

    // A layer the slides of one master share comes from the cache, else it is made and, once checked, kept.
    QString sharedLayer(const QString &key, const std::function<QString(QByteArray *)> &make, QByteArray *layer);
    // Exports a page into the scratch file and takes it as a checked layer; else the reason.
    QString exportLayer(const css::uno::Reference<css::lang::XComponent> &page,
                        const css::uno::Sequence<css::beans::PropertyValue> &filterData, const QString &what,
                        QByteArray *layer);
    bool exportPage(const css::uno::Reference<css::lang::XComponent> &page, const QString &path,
                    const css::uno::Sequence<css::beans::PropertyValue> &filterData);

    css::uno::Reference<css::drawing::XGraphicExportFilter> m_exporter;
    Drawing m_drawing;
    QString m_dir;                      // the output's folder
    QString m_scratch;                  // one file the office writes layers into, reused for every slide
    QHash<QString, QByteArray> m_cache; // checked layers shared by the slides of one master
    std::map<QString, std::vector<Shape>> m_masters;
    bool m_compose = true;
    int m_resolution = 0;
    QString m_pngScratch; // where the office draws a layer as a picture
};

} // namespace office
