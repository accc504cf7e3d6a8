#include "platform/office/OfficeSlideExport.h"

#include "engine/lxEmfFile.h"
#include "engine/lxFileName.h"
#include "engine/lxSvgFile.h"
#include "engine/lxWorkTimes.h"
#include "platform/office/OfficeHelpers.h"
#include "platform/office/OfficeStrings.h"

#include <com/sun/star/awt/Rectangle.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/beans/XPropertySetInfo.hpp>
#include <com/sun/star/container/XEnumeration.hpp>
#include <com/sun/star/container/XEnumerationAccess.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/container/XNamed.hpp>
#include <com/sun/star/document/XFilter.hpp>
#include <com/sun/star/drawing/FillStyle.hpp>
#include <com/sun/star/drawing/XMasterPageTarget.hpp>
#include <com/sun/star/drawing/XShape.hpp>
#include <com/sun/star/drawing/XShapes.hpp>

#include <QDir>
#include <QFile>
#include <QRect>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <sys/statvfs.h>
#include <unistd.h>
#include <vector>

using namespace css;
using css::uno::Reference;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;

namespace office {

namespace {

bool boolProperty(const Reference<beans::XPropertySet> &set, const char *name, bool fallback) {
    if (!set.is())
        return fallback;
    try {
        bool value = fallback;
        set->getPropertyValue(OUString::createFromAscii(name)) >>= value;
        return value;
    } catch (const uno::Exception &) {
        return fallback; // not a property of this object
    }
}

// Runs an undo step when it goes out of scope, also when an export throws.
class Undo {
public:
    explicit Undo(std::function<void()> step) : m_step(std::move(step)) {}
    ~Undo() {
        try {
            m_step();
        } catch (const uno::Exception &) {
            // The office is gone or refuses: the document is thrown away anyway.
        }
    }
    Undo(const Undo &) = delete;
    Undo &operator=(const Undo &) = delete;

private:
    std::function<void()> m_step;
};

// Whether a shape's text (or that of a shape in its group) holds a field: a slide number, date or footer typed into
// a decoration, whose text then differs from slide to slide.
bool holdsField(const Reference<uno::XInterface> &shape) {
    try {
        if (const Reference<container::XIndexAccess> group{shape, UNO_QUERY}; group.is()) {
            for (sal_Int32 i = 0, n = group->getCount(); i < n; ++i)
                if (holdsField(Reference<uno::XInterface>(group->getByIndex(i), UNO_QUERY)))
                    return true;
            return false;
        }
        const Reference<container::XEnumerationAccess> text{shape, UNO_QUERY};
        if (!text.is())
            return false;
        const Reference<container::XEnumeration> paragraphs = text->createEnumeration();
        while (paragraphs.is() && paragraphs->hasMoreElements()) {
            const Reference<container::XEnumerationAccess> paragraph(paragraphs->nextElement(), UNO_QUERY);
            const Reference<container::XEnumeration> portions =
                paragraph.is() ? paragraph->createEnumeration() : Reference<container::XEnumeration>();
            while (portions.is() && portions->hasMoreElements()) {
                const Reference<beans::XPropertySet> portion(portions->nextElement(), UNO_QUERY);
                OUString type;
                if (portion.is() && (portion->getPropertyValue("TextPortionType") >>= type) && type == "TextField")
                    return true;
            }
        }
    } catch (const uno::Exception &) {
        // A shape without text portions holds no field.
    }
    return false;
}

// What a master's object is to a slide: decoration shows on every slide (when visible at all), and so does a
// decoration with a field in its text, drawn for each slide; the header and footer fields when the slide asks for
// them, the other placeholders never (on a slide they only say "Click to edit...").
OfficeSlideExport::Kind kindOf(const Reference<drawing::XShape> &shape, const Reference<beans::XPropertySet> &set) {
    using Kind = OfficeSlideExport::Kind;
    if (!boolProperty(set, "IsPresentationObject", false))
        return holdsField(shape) ? Kind::FieldText : Kind::Decoration;
    const QString type = fromOU(shape->getShapeType());
    if (type.endsWith(QLatin1String(".FooterShape")))
        return Kind::Footer;
    if (type.endsWith(QLatin1String(".DateTimeShape")))
        return Kind::Date;
    if (type.endsWith(QLatin1String(".SlideNumberShape")))
        return Kind::Number;
    if (type.endsWith(QLatin1String(".HeaderShape")))
        return Kind::Header;
    return Kind::Placeholder;
}

} // namespace

// Which layers a slide is drawn in, read from the document (what the slide shows), never from what an export gave.
struct OfficeSlideExport::Plan {
    struct MasterShape {
        const Shape *shape;
        bool shows;
        bool field; // a footer, date, number or header placeholder, or a text with a field: depends on the slide
    };
    Reference<drawing::XDrawPage> master;
    std::vector<MasterShape> masterShapes;
    bool background = false; // the slide shows a background fill
    bool decoration = false; // some decoration object of the master shows
    bool fields = false;     // some field of the master shows
    QString backgroundKey;   // set when the background is the master's: the same on each of its slides
    QString decorationKey;   // set when the decoration can be drawn apart from (below) the fields, once a master
    // The slide's own shapes in runs from the bottom up, each drawn as vectors or, where its shapes have
    // transparency the EMF would lose, as a picture. Empty: all of them in one vector layer.
    struct Run {
        bool picture;
        std::vector<sal_Int32> shapes; // indices on the slide
    };
    std::vector<Run> ownRuns;
    QRect masterPicture; // where the master's showing objects have transparency: drawn as a picture for each slide

    bool Layered() const { return background || decoration || fields || !ownRuns.empty(); }
    // masterPicture needs master objects that show, so it layers a slide already.

    // Whether a showing decoration lies above a showing field it overlaps: then the two cannot be drawn apart.
    bool DecorationOverField() const {
        QList<QRect> fieldsBelow;
        for (const MasterShape &s : masterShapes) {
            if (!s.shows)
                continue;
            if (s.field) {
                fieldsBelow << s.shape->area;
                continue;
            }
            for (const QRect &f : fieldsBelow)
                if (s.shape->area.intersects(f))
                    return true;
        }
        return false;
    }
};

namespace {

// Whether a page draws a fill under its shapes. A slide without a fill of its own shows its master's.
bool drawsFill(const Reference<beans::XPropertySet> &page) {
    if (!page.is())
        return false;
    try {
        Reference<beans::XPropertySet> fill;
        if (!(page->getPropertyValue("Background") >>= fill) || !fill.is())
            return false;
        drawing::FillStyle style = drawing::FillStyle_SOLID;
        fill->getPropertyValue("FillStyle") >>= style;
        return style != drawing::FillStyle_NONE;
    } catch (const uno::Exception &) {
        return false; // a page without a background property has none
    }
}

sal_Int32 intProperty(const Reference<beans::XPropertySet> &set, const char *name) {
    try {
        sal_Int32 value = 0;
        set->getPropertyValue(OUString::createFromAscii(name)) >>= value;
        return value;
    } catch (const uno::Exception &) {
        return 0; // not a property of this object
    }
}

// Whether the office draws part of a shape (or of a shape in its group) see-through: a fill, line or picture
// with transparency or a transparency gradient, a transparent shadow, soft edges or a glow. Its EMF export draws
// all of these opaque.
bool drawsTransparency(const Reference<uno::XInterface> &shape) {
    if (const Reference<drawing::XShapes> group{shape, UNO_QUERY}; group.is()) {
        for (sal_Int32 i = 0, n = group->getCount(); i < n; ++i)
            if (drawsTransparency(Reference<uno::XInterface>(group->getByIndex(i), UNO_QUERY)))
                return true;
        return false;
    }
    const Reference<beans::XPropertySet> set{shape, UNO_QUERY};
    if (!set.is())
        return false;
    try {
        const Reference<beans::XPropertySetInfo> info = set->getPropertySetInfo();
        auto has = [&info](const char *name) { return info->hasPropertyByName(OUString::createFromAscii(name)); };
        drawing::FillStyle fill = drawing::FillStyle_NONE;
        if (has("FillStyle"))
            set->getPropertyValue("FillStyle") >>= fill;
        OUString gradient;
        if (fill != drawing::FillStyle_NONE && has("FillTransparenceGradientName"))
            set->getPropertyValue("FillTransparenceGradientName") >>= gradient;
        if (fill != drawing::FillStyle_NONE && (!gradient.isEmpty() || intProperty(set, "FillTransparence") > 0))
            return true;
        if (has("Transparency") && intProperty(set, "Transparency") > 0)
            return true;
        if (has("Shadow") && boolProperty(set, "Shadow", false) && intProperty(set, "ShadowTransparence") > 0)
            return true;
        return (has("SoftEdgeRadius") && intProperty(set, "SoftEdgeRadius") > 0) ||
               (has("GlowEffectRadius") && intProperty(set, "GlowEffectRadius") > 0);
    } catch (const uno::Exception &) {
        return false;
    }
}

bool hideable(const Reference<beans::XPropertySet> &shape) {
    try {
        return shape.is() && shape->getPropertySetInfo()->hasPropertyByName("Visible");
    } catch (const uno::Exception &) {
        return false;
    }
}

// The slide's shapes from the bottom up in runs of the same way of drawing; none when no shape needs a picture,
// or when a shape cannot be hidden, as a run needs the others to be.
std::vector<std::pair<bool, std::vector<sal_Int32>>> drawingRuns(const Reference<drawing::XDrawPage> &slide) {
    std::vector<std::pair<bool, std::vector<sal_Int32>>> runs;
    bool any = false;
    for (sal_Int32 i = 0, n = slide->getCount(); i < n; ++i) {
        const Reference<beans::XPropertySet> shape(slide->getByIndex(i), UNO_QUERY);
        if (!hideable(shape))
            return {};
        const bool picture = drawsTransparency(shape);
        any = any || picture;
        if (runs.empty() || runs.back().first != picture)
            runs.push_back({picture, {}});
        runs.back().second.push_back(i);
    }
    if (!any)
        runs.clear();
    return runs;
}

// Where a shape draws on its page, its line, shadow and glow included, in the page's units.
QRect boundsOf(const Reference<beans::XPropertySet> &shape) {
    awt::Rectangle r;
    try {
        if (shape.is() && (shape->getPropertyValue("BoundRect") >>= r))
            return QRect(r.X, r.Y, std::max(1, r.Width), std::max(1, r.Height));
    } catch (const uno::Exception &) {
    }
    return QRect();
}

QString nameOf(const Reference<drawing::XDrawPage> &page) {
    const Reference<container::XNamed> named{page, UNO_QUERY};
    return named.is() ? fromOU(named->getName()) : QString();
}

} // namespace

// A page's shapes with the visibility the deck gives them: a layer shows only some of them, and each is put back
// as it was when this goes. Each change crosses to the office: only shapes whose visibility changes are touched.
class PageShapes {
public:
    explicit PageShapes(const Reference<drawing::XDrawPage> &page) {
        for (sal_Int32 i = 0, n = page->getCount(); i < n; ++i) {
            m_sets.emplace_back(page->getByIndex(i), UNO_QUERY);
            m_visible.push_back(boolProperty(m_sets.back(), "Visible", true));
            if (!hideable(m_sets.back()))
                m_sets.back().clear();
        }
        m_now = m_visible;
    }
    ~PageShapes() {
        try {
            for (size_t i = 0; i < m_sets.size(); ++i)
                Show(i, true);
        } catch (const uno::Exception &) {
            // The office is gone or refuses: the document is thrown away anyway.
        }
    }
    PageShapes(const PageShapes &) = delete;
    PageShapes &operator=(const PageShapes &) = delete;

    size_t Count() const { return m_sets.size(); }
    // Whether every shape can be hidden: some kinds of shape cannot, and a layer of part of the page needs that.
    bool AllHideable() const {
        return std::all_of(m_sets.begin(), m_sets.end(), [](const auto &s) { return s.is(); });
    }
    const Reference<beans::XPropertySet> &At(size_t i) const { return m_sets[i]; }
    bool Visible(size_t i) const { return m_visible[i]; } // as the deck has it
    // Shows the shape when the deck does and on is set; hides it otherwise.
    void Show(size_t i, bool on) {
        on = on && m_visible[i];
        if (bool(m_now[i]) != on && m_sets[i].is()) {
            m_sets[i]->setPropertyValue("Visible", uno::Any(on));
            m_now[i] = on;
        }
    }

private:
    std::vector<Reference<beans::XPropertySet>> m_sets;
    std::vector<char> m_visible, m_now;
};

// The master's objects made visible as one layer needs them, and put back as they were when this goes.
class OfficeSlideExport::MasterView {
public:
    explicit MasterView(const Plan &plan) : m_plan(plan) {
        for (const Plan::MasterShape &s : plan.masterShapes)
            m_visible.push_back(s.shape->visible);
    }
    ~MasterView() {
        try {
            for (size_t i = 0; i < m_visible.size(); ++i)
                setVisible(i, m_plan.masterShapes[i].shape->visible);
        } catch (const uno::Exception &) {
            // The office is gone or refuses: the document is thrown away anyway.
        }
    }
    MasterView(const MasterView &) = delete;
    MasterView &operator=(const MasterView &) = delete;

    // Only the showing objects of the chosen kinds stay visible.
    void Show(bool decoration, bool fields) {
        for (size_t i = 0; i < m_visible.size(); ++i) {
            const Plan::MasterShape &s = m_plan.masterShapes[i];
            const bool visible = s.shows && (s.field ? fields : decoration);
            setVisible(i, visible);
            // The office keeps a drawn field's text from the slide it was last drawn for; touching the shape
            // makes it draw the fields anew for this one.
            if (visible && s.field)
                s.shape->shape->setSize(s.shape->shape->getSize());
        }
    }

private:
    // Each call crosses to the office: only shapes whose visibility changes are touched.
    void setVisible(size_t i, bool visible) {
        if (bool(m_visible[i]) != visible) {
            m_plan.masterShapes[i].shape->set->setPropertyValue("Visible", uno::Any(visible));
            m_visible[i] = visible;
        }
    }
    const Plan &m_plan;
    std::vector<char> m_visible;
};

OfficeSlideExport::~OfficeSlideExport() {
    for (const QString &scratch : {m_scratch, m_pngScratch})
        if (!scratch.isEmpty())
            TlxFileName::Remove(scratch);
}

QString OfficeSlideExport::WhyNothing(const QString &dir, const QString &what) {
    // The office does not say why it wrote nothing; a folder without room is the usual reason.
    struct statvfs fs {};
    if (::statvfs(TlxFileName::Encode(dir).constData(), &fs) == 0 && quint64(fs.f_bavail) * fs.f_frsize < (1u << 20))
        return QStringLiteral("the disk is full");
    return what;
}

bool OfficeSlideExport::exportPage(const Reference<lang::XComponent> &page, const QString &path,
                                   const uno::Sequence<beans::PropertyValue> &filterData) {
    TlxWorkTimes::Scope exporting(TlxWorkTimes::Export);
    m_exporter->setSourceDocument(page);
    uno::Sequence<beans::PropertyValue> args =
        props({prop("URL", uno::Any(toOU(fileUrl(path)))),
               prop("MediaType",
                    uno::Any(OUString::createFromAscii(m_drawing == Drawing::Svg ? "image/svg+xml" : "image/x-emf")))});
    if (filterData.hasElements()) {
        args.realloc(3);
        args.getArray()[2] = prop("FilterData", uno::Any(filterData));
    }
    return Reference<document::XFilter>(m_exporter, UNO_QUERY_THROW)->filter(args) && TlxFileName::Size(path) > 0;
}

const std::vector<OfficeSlideExport::Shape> &OfficeSlideExport::shapesOf(const Reference<drawing::XDrawPage> &master,
                                                                         const QString &name) {
    auto known = m_masters.find(name);
    if (known != m_masters.end() && !name.isEmpty())
        return known->second;
    std::vector<Shape> &shapes = m_masters[name];
    shapes.clear();
    for (sal_Int32 i = 0, n = master->getCount(); i < n; ++i) {
        Reference<drawing::XShape> shape(master->getByIndex(i), UNO_QUERY);
        Reference<beans::XPropertySet> set(shape, UNO_QUERY);
        if (!shape.is() || !set.is())
            continue;
        const awt::Point p = shape->getPosition();
        const awt::Size z = shape->getSize();
        const bool transparent = m_drawing == Drawing::Emf && m_resolution > 0 && drawsTransparency(shape);
        shapes.push_back({shape, set, kindOf(shape, set), boolProperty(set, "Visible", true),
                          QRect(p.X, p.Y, std::max(1, z.Width), std::max(1, z.Height)), transparent});
    }
    return shapes;
}

OfficeSlideExport::Plan OfficeSlideExport::planFor(const Reference<drawing::XDrawPage> &slide) {
    Plan plan;
    const Reference<beans::XPropertySet> slideProps(slide, UNO_QUERY);
    if (const Reference<drawing::XMasterPageTarget> target{slide, UNO_QUERY}; target.is())
        plan.master = target->getMasterPage();
    const QString masterName = nameOf(plan.master);

    // The background: the slide's own fill, else its master's; nothing when neither has one.
    const bool ownBackground = drawsFill(slideProps);
    plan.background = boolProperty(slideProps, "IsBackgroundVisible", true) &&
                      (ownBackground || drawsFill(Reference<beans::XPropertySet>(plan.master, UNO_QUERY)));
    if (plan.background && !ownBackground && !masterName.isEmpty())
        plan.backgroundKey = QStringLiteral("bg:") + masterName;
    // SVG keeps transparency as it is; an EMF needs the transparent shapes drawn as pictures.
    if (m_drawing == Drawing::Emf && m_resolution > 0)
        for (auto &[picture, shapes] : drawingRuns(slide))
            plan.ownRuns.push_back({picture, std::move(shapes)});

    // The master's objects: decoration on every slide that shows master objects, the fields it asks for.
    if (!plan.master.is() || !boolProperty(slideProps, "IsBackgroundObjectsVisible", true))
        return plan;
    const std::map<Kind, bool> asked = {{Kind::Decoration, true},
                                        {Kind::FieldText, true},
                                        {Kind::Footer, boolProperty(slideProps, "IsFooterVisible", false)},
                                        {Kind::Date, boolProperty(slideProps, "IsDateTimeVisible", false)},
                                        {Kind::Number, boolProperty(slideProps, "IsPageNumberVisible", false)},
                                        {Kind::Header, boolProperty(slideProps, "IsHeaderVisible", false)},
                                        {Kind::Placeholder, false}};
    for (const Shape &m : shapesOf(plan.master, masterName)) {
        const bool field = m.kind != Kind::Decoration;
        const bool shows = m.visible && asked.at(m.kind);
        plan.masterShapes.push_back({&m, shows, field});
        if (shows && m.transparent)
            plan.masterPicture |= boundsOf(m.set);
        plan.decoration = plan.decoration || (shows && !field);
        plan.fields = plan.fields || (shows && field);
    }
    if (plan.decoration && !masterName.isEmpty() && !plan.DecorationOverField())
        plan.decorationKey = QStringLiteral("objects:") + masterName;
    return plan;
}

bool OfficeSlideExport::Write(const Reference<drawing::XDrawPage> &slide, const QString &path, QString *error) {
    m_dir = folderOf(path);
    if (!m_compose) {
        if (exportPage(Reference<lang::XComponent>(slide, UNO_QUERY_THROW), path, {}))
            return true;
        *error = WhyNothing(m_dir, QStringLiteral("the office wrote nothing"));
        return false;
    }
    const Plan plan = planFor(slide);
    if (!plan.Layered()) {
        // Its own shapes are the whole slide: written in one piece, checked as a finished file by the caller.
        *error = addOwnShapes(slide, plan, nullptr, path);
        return error->isEmpty();
    }
    TlxSlideLayers layers(m_drawing);
    *error = addBackground(slide, plan, layers);
    if (error->isEmpty())
        *error = addMasterObjects(slide, plan, layers);
    if (error->isEmpty())
        *error = addMasterPicture(slide, plan, layers);
    if (error->isEmpty())
        *error = addOwnShapes(slide, plan, &layers, QString());
    if (!error->isEmpty())
        return false;
    const QByteArray composed = layers.Compose(error);
    if (composed.isEmpty())
        return false;
    *error = writeWhole(path, composed);
    return error->isEmpty();
}

QString OfficeSlideExport::addBackground(const Reference<drawing::XDrawPage> &slide, const Plan &plan,
                                         TlxSlideLayers &layers) {
    if (!plan.background)
        return QString();
    // The office draws only the background the slide shows: its own, or its master's (which the export of the
    // whole slide loses in some decks, gradients among them).
    QByteArray layer;
    const QString why = sharedLayer(
        plan.backgroundKey,
        [&](QByteArray *made) {
            return exportLayer(Reference<lang::XComponent>(slide, UNO_QUERY_THROW),
                               props({prop("ExportOnlyBackground", uno::Any(true))}), QStringLiteral("the background"),
                               made);
        },
        &layer);
    return why.isEmpty() ? layers.Add(layer, QStringLiteral("the background")) : why;
}

QString OfficeSlideExport::addMasterObjects(const Reference<drawing::XDrawPage> &slide, const Plan &plan,
                                            TlxSlideLayers &layers) {
    if (!plan.decoration && !plan.fields)
        return QString();
    const Reference<lang::XComponent> master(plan.master, UNO_QUERY_THROW);
    const uno::Sequence<beans::PropertyValue> forSlide = props({prop("CurrentPage", uno::Any(slide))});
    MasterView view(plan);
    auto exportShowing = [&](bool decoration, bool fields, const QString &what, QByteArray *layer) {
        view.Show(decoration, fields);
        return exportLayer(master, forSlide, what, layer);
    };
    QByteArray layer;
    QString why;
    if (plan.decorationKey.isEmpty()) {
        // A decoration above a field: both in one layer, for each slide.
        why = exportShowing(true, true, QStringLiteral("the master page's objects"), &layer);
        return why.isEmpty() ? layers.Add(layer, QStringLiteral("the master page's objects")) : why;
    }
    // The decoration is the same on every slide of the master and is exported once; the fields, drawn above
    // it, take the slide's texts and number and are exported for each slide.
    if (plan.decoration) {
        why = sharedLayer(
            plan.decorationKey,
            [&](QByteArray *made) {
                return exportShowing(true, false, QStringLiteral("the master page's decoration"), made);
            },
            &layer);
        if (why.isEmpty())
            why = layers.Add(layer, QStringLiteral("the master page's decoration"));
    }
    if (why.isEmpty() && plan.fields) {
        why = exportShowing(false, true, QStringLiteral("the master page's fields"), &layer);
        if (why.isEmpty())
            why = layers.Add(layer, QStringLiteral("the master page's fields"));
    }
    return why;
}

QString OfficeSlideExport::addMasterPicture(const Reference<drawing::XDrawPage> &slide, const Plan &plan,
                                            TlxSlideLayers &layers) {
    if (plan.masterPicture.isEmpty())
        return QString();
    // Where the master's objects have transparency, the slide as the office shows it without its own shapes.
    PageShapes own(slide);
    if (!own.AllHideable())
        return QString(); // the decoration stays as the vector layer has it
    for (size_t i = 0; i < own.Count(); ++i)
        own.Show(i, false);
    const Reference<beans::XPropertySet> slideProps(slide, UNO_QUERY_THROW);
    const QString what = QStringLiteral("the master page's transparent objects");
    QByteArray layer;
    const QString why =
        exportPictureLayer(slide, plan.masterPicture, boolProperty(slideProps, "IsBackgroundVisible", true),
                           boolProperty(slideProps, "IsBackgroundObjectsVisible", true), what, &layer);
    return why.isEmpty() && !layer.isEmpty() ? layers.Add(layer, what) : why;
}

QString OfficeSlideExport::addOwnShapes(const Reference<drawing::XDrawPage> &slide, const Plan &plan,
                                        TlxSlideLayers *layers, const QString &alone) {
    // Without what the layers below already hold.
    const Reference<beans::XPropertySet> slideProps(slide, UNO_QUERY_THROW);
    const bool background = boolProperty(slideProps, "IsBackgroundVisible", true);
    const bool objects = boolProperty(slideProps, "IsBackgroundObjectsVisible", true);
    Undo restore([&slideProps, background, objects] {
        slideProps->setPropertyValue("IsBackgroundVisible", uno::Any(background));
        slideProps->setPropertyValue("IsBackgroundObjectsVisible", uno::Any(objects));
    });
    slideProps->setPropertyValue("IsBackgroundVisible", uno::Any(false));
    slideProps->setPropertyValue("IsBackgroundObjectsVisible", uno::Any(false));
    const Reference<lang::XComponent> page(slide, UNO_QUERY_THROW);
    const QString what = QStringLiteral("the slide's own shapes");
    if (!layers) {
        if (exportPage(page, alone, {}))
            return QString();
        return WhyNothing(m_dir, QStringLiteral("the office wrote nothing for %1").arg(what));
    }
    QByteArray layer;
    if (plan.ownRuns.empty()) {
        const QString why = exportLayer(page, {}, what, &layer);
        return why.isEmpty() ? layers->Add(layer, what) : why;
    }
    return addOwnRuns(slide, plan, *layers, background, objects);
}

QString OfficeSlideExport::addOwnRuns(const Reference<drawing::XDrawPage> &slide, const Plan &plan,
                                      TlxSlideLayers &layers, bool background, bool objects) {
    PageShapes shapes(slide);
    // From the bottom up: a vector run with only its shapes visible; a run the EMF cannot hold as the office
    // shows the slide up to and including it, cut to where the run draws.
    for (const Plan::Run &run : plan.ownRuns) {
        QRect area;
        for (size_t i = 0; i < shapes.Count(); ++i) {
            const bool inRun = std::find(run.shapes.begin(), run.shapes.end(), sal_Int32(i)) != run.shapes.end();
            shapes.Show(i, inRun || (run.picture && sal_Int32(i) < run.shapes.front()));
            if (inRun && shapes.Visible(i) && run.picture)
                area |= boundsOf(shapes.At(i));
        }
        QByteArray layer;
        const QString part =
            run.picture ? QStringLiteral("the slide's transparent shapes") : QStringLiteral("the slide's own shapes");
        QString why = !run.picture ? exportLayer(Reference<lang::XComponent>(slide, UNO_QUERY_THROW), {}, part, &layer)
                      : area.isEmpty() ? QString()
                                       : exportPictureLayer(slide, area, background, objects, part, &layer);
        if (why.isEmpty() && !layer.isEmpty())
            why = layers.Add(layer, part);
        if (!why.isEmpty())
            return why;
    }
    return QString();
}

QString OfficeSlideExport::exportPng(const Reference<drawing::XDrawPage> &page, QSize pixels, QImage *picture) {
    QString why;
    if (m_pngScratch.isEmpty()) {
        m_pngScratch = createTemporary(QDir::tempPath(), QStringLiteral(".png"), &why);
        if (m_pngScratch.isEmpty())
            return WhyNothing(QDir::tempPath(), why);
    }
    {
        TlxWorkTimes::Scope exporting(TlxWorkTimes::Export);
        m_exporter->setSourceDocument(Reference<lang::XComponent>(page, UNO_QUERY_THROW));
        const uno::Sequence<beans::PropertyValue> filterData =
            props({prop("PixelWidth", uno::Any(sal_Int32(pixels.width()))),
                   prop("PixelHeight", uno::Any(sal_Int32(pixels.height())))});
        const uno::Sequence<beans::PropertyValue> args =
            props({prop("URL", uno::Any(toOU(fileUrl(m_pngScratch)))),
                   prop("MediaType", uno::Any(OUString("image/png"))), prop("FilterData", uno::Any(filterData))});
        if (!Reference<document::XFilter>(m_exporter, UNO_QUERY_THROW)->filter(args))
            return WhyNothing(QDir::tempPath(), QStringLiteral("the office drew no picture"));
    }
    QFile file;
    if (!TlxFileName::Open(file, m_pngScratch, QIODevice::ReadOnly, &why))
        return WhyNothing(QDir::tempPath(), why);
    *picture = QImage::fromData(file.readAll(), "PNG");
    if (picture->size() != pixels)
        return WhyNothing(QDir::tempPath(), QStringLiteral("the office drew no whole picture"));
    return QString();
}

QString OfficeSlideExport::exportPictureLayer(const Reference<drawing::XDrawPage> &slide, QRect area, bool background,
                                              bool objects, const QString &what, QByteArray *layer) {
    // The slide with its background and master objects as it shows them, drawn as a picture at the resolution
    // pictures keep.
    const Reference<beans::XPropertySet> slideProps(slide, UNO_QUERY_THROW);
    const bool backgroundNow = boolProperty(slideProps, "IsBackgroundVisible", true);
    const bool objectsNow = boolProperty(slideProps, "IsBackgroundObjectsVisible", true);
    slideProps->setPropertyValue("IsBackgroundVisible", uno::Any(background));
    slideProps->setPropertyValue("IsBackgroundObjectsVisible", uno::Any(objects));
    Undo asBefore([&slideProps, backgroundNow, objectsNow] {
        slideProps->setPropertyValue("IsBackgroundVisible", uno::Any(backgroundNow));
        slideProps->setPropertyValue("IsBackgroundObjectsVisible", uno::Any(objectsNow));
    });
    const QSize size(intProperty(slideProps, "Width"), intProperty(slideProps, "Height"));
    const QSize pixels(std::max(1, int(qint64(size.width()) * m_resolution / 2540)),
                       std::max(1, int(qint64(size.height()) * m_resolution / 2540)));
    QImage picture;
    const QString why = exportPng(slide, pixels, &picture);
    if (!why.isEmpty())
        return QStringLiteral("%1 (%2)").arg(why, what);
    *layer = TlxEmfFile::PictureLayer(picture, area, size);
    return QString();
}

QString OfficeSlideExport::sharedLayer(const QString &key, const std::function<QString(QByteArray *)> &make,
                                       QByteArray *layer) {
    if (!key.isEmpty()) {
        if (auto cached = m_cache.constFind(key); cached != m_cache.constEnd()) {
            *layer = *cached;
            return QString();
        }
    }
    const QString why = make(layer);
    if (why.isEmpty() && !key.isEmpty())
        m_cache.insert(key, *layer);
    return why;
}

QString OfficeSlideExport::exportLayer(const Reference<lang::XComponent> &page,
                                       const uno::Sequence<beans::PropertyValue> &filterData, const QString &what,
                                       QByteArray *layer) {
    // Layers go to the temporary folder, not the target: the office does not say why it failed to write, while
    // the composed file is written here, where a full target disk is told for what it is.
    QString why;
    const QString scratchDir = QDir::tempPath();
    if (m_scratch.isEmpty()) {
        m_scratch = createTemporary(scratchDir,
                                    m_drawing == Drawing::Svg ? QStringLiteral(".svg") : QStringLiteral(".emf"), &why);
        if (m_scratch.isEmpty())
            return WhyNothing(scratchDir, why);
    }
    layer->clear();
    if (exportPage(page, m_scratch, filterData)) {
        QFile file;
        if (!TlxFileName::Open(file, m_scratch, QIODevice::ReadOnly, &why))
            return WhyNothing(scratchDir, why);
        *layer = file.readAll();
    }
    // The disk filling up is the usual reason for a layer the office wrote in part or not at all.
    why = TlxSlideLayers::Check(m_drawing, *layer, what);
    if (!why.isEmpty()) {
        layer->clear();
        return WhyNothing(scratchDir, why);
    }
    return QString();
}

} // namespace office
