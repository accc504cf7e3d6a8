#include "platform/office/OfficeSlideExport.h"

#include "engine/lxEmfFile.h"
#include "engine/lxFileName.h"
#include "engine/lxSvgFile.h"
#include "engine/lxWorkTimes.h"
#include "platform/office/OfficeHelpers.h"
#include "platform/office/OfficeStrings.h"

#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/beans/XPropertySetInfo.hpp>
#include <com/sun/star/container/XNamed.hpp>
#include <com/sun/star/document/XFilter.hpp>
#include <com/sun/star/drawing/XMasterPageTarget.hpp>
#include <com/sun/star/drawing/XShape.hpp>

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

// What a master's object is to a slide: decoration shows on every slide (when visible at all), the header and
// footer fields when the slide asks for them, the other placeholders never (on a slide they only say
// "Click to edit...").
OfficeSlideExport::Kind kindOf(const Reference<drawing::XShape> &shape, const Reference<beans::XPropertySet> &set) {
    using Kind = OfficeSlideExport::Kind;
    if (!boolProperty(set, "IsPresentationObject", false))
        return Kind::Decoration;
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

const std::vector<OfficeSlideExport::Shape> &OfficeSlideExport::shapesOf(const Reference<drawing::XDrawPage> &master) {
    QString name;
    if (const Reference<container::XNamed> named{master, UNO_QUERY}; named.is())
        name = fromOU(named->getName());
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
        shapes.push_back({shape, set, kindOf(shape, set), boolProperty(set, "Visible", true),
                          QRect(p.X, p.Y, std::max(1, z.Width), std::max(1, z.Height))});
    }
    return shapes;
}

bool OfficeSlideExport::Write(const Reference<drawing::XDrawPage> &slide, const QString &path, QString *error) {
    const Reference<lang::XComponent> slideComponent(slide, UNO_QUERY_THROW);
    if (!m_compose) {
        if (exportPage(slideComponent, path, {}))
            return true;
        *error = WhyNothing(folderOf(path), QStringLiteral("the office wrote nothing"));
        return false;
    }
    const Reference<beans::XPropertySet> slideProps(slide, UNO_QUERY);
    Reference<drawing::XDrawPage> master;
    const Reference<drawing::XMasterPageTarget> masterTarget(slide, UNO_QUERY);
    if (masterTarget.is())
        master = masterTarget->getMasterPage();

    struct MasterShape {
        Reference<drawing::XShape> shape;
        Reference<beans::XPropertySet> set;
        bool wasVisible;
        bool shows;
        bool field; // a footer, date, number or header placeholder: its text depends on the slide
        QRect area;
    };
    std::vector<MasterShape> masterShapes;
    bool masterDraws = false;
    if (master.is() && boolProperty(slideProps, "IsBackgroundObjectsVisible", true)) {
        const bool header = boolProperty(slideProps, "IsHeaderVisible", false);
        const bool footer = boolProperty(slideProps, "IsFooterVisible", false);
        const bool date = boolProperty(slideProps, "IsDateTimeVisible", false);
        const bool number = boolProperty(slideProps, "IsPageNumberVisible", false);
        for (const Shape &m : shapesOf(master)) {
            bool shows = m.visible;
            switch (m.kind) {
            case Kind::Decoration:
                break;
            case Kind::Footer:
                shows = shows && footer;
                break;
            case Kind::Date:
                shows = shows && date;
                break;
            case Kind::Number:
                shows = shows && number;
                break;
            case Kind::Header:
                shows = shows && header;
                break;
            case Kind::Placeholder:
                shows = false;
                break;
            }
            masterShapes.push_back({m.shape, m.set, m.visible, shows, m.kind != Kind::Decoration, m.area});
            masterDraws = masterDraws || shows;
        }
    }
    const bool background = boolProperty(slideProps, "IsBackgroundVisible", true);
    // The decoration can be drawn apart from (below) the fields when no showing decoration above a showing field
    // covers any part of it.
    bool fieldShows = false, decorationShows = false, fieldsOnTop = true;
    QList<QRect> fieldsBelow;
    for (const MasterShape &m : masterShapes) {
        if (!m.shows)
            continue;
        if (m.field) {
            fieldsBelow << m.area;
        } else if (!fieldsBelow.isEmpty() && fieldsOnTop) {
            const QRect &over = m.area;
            for (const QRect &f : fieldsBelow)
                fieldsOnTop = fieldsOnTop && !over.intersects(f);
        }
        fieldShows = fieldShows || m.field;
        decorationShows = decorationShows || !m.field;
    }
    // Layers that are the same on every slide of a master are exported once per deck: the master's background
    // where the slide has none of its own, and the master's objects where no field of the slide shows.
    QString masterName;
    if (const Reference<container::XNamed> named{master, UNO_QUERY}; named.is())
        masterName = fromOU(named->getName());
    bool ownBackground = true;
    try {
        Reference<beans::XPropertySet> fill;
        if (slideProps.is() && (slideProps->getPropertyValue("Background") >>= fill))
            ownBackground = fill.is();
    } catch (const uno::Exception &) {
    }
    const QString backgroundKey =
        !masterName.isEmpty() && !ownBackground ? QStringLiteral("bg:") + masterName : QString();
    const QString objectsKey =
        !masterName.isEmpty() && fieldsOnTop ? QStringLiteral("objects:") + masterName : QString();

    const QString dir = folderOf(path);
    const QString ext = TlxFileName::Extension(path);
    QString scratch;
    Undo removeScratch([&scratch] {
        if (!scratch.isEmpty())
            TlxFileName::Remove(scratch);
    });
    QList<QByteArray> layers;
    // Exports one layer into a scratch file beside the output and takes its bytes; an empty result means the
    // office wrote nothing.
    auto layerOf = [&](const Reference<lang::XComponent> &page, const uno::Sequence<beans::PropertyValue> &data,
                       bool *failed) -> QByteArray {
        if (scratch.isEmpty()) {
            QString why;
            scratch = createTemporary(dir, ext, &why);
            if (scratch.isEmpty()) {
                *error = why;
                *failed = true;
                return QByteArray();
            }
        }
        if (!exportPage(page, scratch, data))
            return QByteArray();
        QFile file;
        QString why;
        if (!TlxFileName::Open(file, scratch, QIODevice::ReadOnly, &why)) {
            *error = WhyNothing(dir, why);
            *failed = true;
            return QByteArray();
        }
        return file.readAll();
    };
    bool failed = false;

    // 1. The background the slide shows: its own, or its master's (which the export of the whole slide loses in
    // some decks, gradients among them). Nothing when it has none.
    if (background) {
        auto cached = m_cache.find(backgroundKey);
        if (backgroundKey.isEmpty() || cached == m_cache.end()) {
            const QByteArray layer =
                layerOf(slideComponent, props({prop("ExportOnlyBackground", uno::Any(true))}), &failed);
            if (failed)
                return false;
            if (!backgroundKey.isEmpty())
                cached = m_cache.insert(backgroundKey, layer);
            if (!layer.isEmpty())
                layers << layer;
        } else if (!cached->isEmpty()) {
            layers << *cached;
        }
    }

    // 2. The master's objects as this slide shows them; fields take the slide's texts and number. The decoration
    // is the same on every slide and is exported once; the fields, drawn above it, for each slide.
    if (masterDraws) {
        const Reference<lang::XComponent> masterComponent(master, UNO_QUERY_THROW);
        // Each call crosses to the office: only shapes whose visibility changes are touched.
        std::vector<char> visibleNow;
        for (const MasterShape &s : masterShapes)
            visibleNow.push_back(s.wasVisible);
        auto setVisible = [&](size_t i, bool visible) {
            if (bool(visibleNow[i]) != visible) {
                masterShapes[i].set->setPropertyValue("Visible", uno::Any(visible));
                visibleNow[i] = visible;
            }
        };
        Undo restore([&] {
            for (size_t i = 0; i < masterShapes.size(); ++i)
                setVisible(i, masterShapes[i].wasVisible);
        });
        // Exports the master with only the chosen kind of its showing objects visible.
        auto masterLayer = [&](bool decoration, bool fields) -> bool {
            for (size_t i = 0; i < masterShapes.size(); ++i) {
                const MasterShape &s = masterShapes[i];
                const bool visible = s.shows && (s.field ? fields : decoration);
                setVisible(i, visible);
                // The office keeps a drawn field's text from the slide it was last drawn for; touching the shape
                // makes it draw the fields anew for this one.
                if (visible && s.field)
                    s.shape->setSize(s.shape->getSize());
            }
            const QByteArray layer = layerOf(masterComponent, props({prop("CurrentPage", uno::Any(slide))}), &failed);
            if (layer.isEmpty()) {
                if (!failed)
                    *error = WhyNothing(dir, QStringLiteral("the office wrote nothing for the master page's objects"));
                return false;
            }
            layers << layer;
            return true;
        };
        if (objectsKey.isEmpty()) {
            if (!masterLayer(true, true))
                return false;
        } else {
            if (decorationShows) {
                auto cached = m_cache.constFind(objectsKey);
                if (cached != m_cache.constEnd()) {
                    layers << *cached;
                } else {
                    if (!masterLayer(true, false))
                        return false;
                    m_cache.insert(objectsKey, layers.last());
                }
            }
            if (fieldShows && !masterLayer(false, true))
                return false;
        }
    }

    // 3. The slide's own shapes, without what the layers below already hold. Alone, it is the slide.
    {
        const bool objects = boolProperty(slideProps, "IsBackgroundObjectsVisible", true);
        Undo restore([&slideProps, background, objects] {
            slideProps->setPropertyValue("IsBackgroundVisible", uno::Any(background));
            slideProps->setPropertyValue("IsBackgroundObjectsVisible", uno::Any(objects));
        });
        slideProps->setPropertyValue("IsBackgroundVisible", uno::Any(false));
        slideProps->setPropertyValue("IsBackgroundObjectsVisible", uno::Any(false));
        if (layers.isEmpty()) {
            if (exportPage(slideComponent, path, {}))
                return true;
            *error = WhyNothing(dir, QStringLiteral("the office wrote nothing for the slide's own shapes"));
            return false;
        }
        const QByteArray layer = layerOf(slideComponent, {}, &failed);
        if (layer.isEmpty()) {
            if (!failed)
                *error = WhyNothing(dir, QStringLiteral("the office wrote nothing for the slide's own shapes"));
            return false;
        }
        layers << layer;
    }

    const QList<QByteArrayView> parts(layers.begin(), layers.end());
    const QByteArray composed =
        m_drawing == Drawing::Svg ? TlxSvgFile::Compose(parts, error) : TlxEmfFile::Compose(parts, error);
    if (composed.isEmpty())
        return false;
    const QString written = writeWhole(path, composed);
    if (!written.isEmpty()) {
        *error = written;
        return false;
    }
    return true;
}

} // namespace office
