#include "platform/office/OfficeSlideExport.h"

#include "engine/lxEmfFile.h"
#include "platform/office/OfficeHelpers.h"
#include "platform/office/OfficeStrings.h"

#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/beans/XPropertySetInfo.hpp>
#include <com/sun/star/document/XFilter.hpp>
#include <com/sun/star/drawing/XMasterPageTarget.hpp>
#include <com/sun/star/drawing/XShape.hpp>

#include <QFile>
#include <QFileInfo>

#include <functional>
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
        const OUString key = OUString::createFromAscii(name);
        Reference<beans::XPropertySetInfo> info = set->getPropertySetInfo();
        if (info.is() && !info->hasPropertyByName(key))
            return fallback;
        bool value = fallback;
        set->getPropertyValue(key) >>= value;
        return value;
    } catch (const uno::Exception &) {
        return fallback;
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

// Whether a master's object appears on a slide: its own shapes always (as far as they are visible at all),
// the header and footer fields when the slide asks for them, the other placeholders never (on a slide they
// only say "Click to edit...").
struct Footers {
    bool header = false, footer = false, date = false, number = false;
};

bool showsOnSlide(const Reference<drawing::XShape> &shape, const Reference<beans::XPropertySet> &set,
                  const Footers &footers) {
    if (!boolProperty(set, "Visible", true))
        return false;
    if (!boolProperty(set, "IsPresentationObject", false))
        return true;
    const QString type = fromOU(shape->getShapeType());
    if (type.endsWith(QLatin1String(".FooterShape")))
        return footers.footer;
    if (type.endsWith(QLatin1String(".DateTimeShape")))
        return footers.date;
    if (type.endsWith(QLatin1String(".SlideNumberShape")))
        return footers.number;
    if (type.endsWith(QLatin1String(".HeaderShape")))
        return footers.header;
    return false;
}

// Mapped read-only for as long as it lives.
struct MappedFile {
    QFile file;
    QByteArrayView data;
    explicit MappedFile(const QString &path) : file(path) {
        if (file.open(QIODevice::ReadOnly) && file.size() > 0)
            if (const uchar *p = file.map(0, file.size()))
                data = QByteArrayView(reinterpret_cast<const char *>(p), file.size());
    }
};

} // namespace

bool OfficeSlideExport::exportPage(const Reference<lang::XComponent> &page, const QString &path,
                                   const uno::Sequence<beans::PropertyValue> &filterData) {
    m_exporter->setSourceDocument(page);
    uno::Sequence<beans::PropertyValue> args =
        props({prop("URL", uno::Any(toOU(fileUrl(path)))), prop("MediaType", uno::Any(OUString("image/x-emf")))});
    if (filterData.hasElements()) {
        args.realloc(3);
        args.getArray()[2] = prop("FilterData", uno::Any(filterData));
    }
    return Reference<document::XFilter>(m_exporter, UNO_QUERY_THROW)->filter(args) && QFileInfo(path).size() > 0;
}

bool OfficeSlideExport::Write(const Reference<drawing::XDrawPage> &slide, const QString &path, QString *error) {
    m_lastLayers = 1;
    const Reference<lang::XComponent> slideComponent(slide, UNO_QUERY_THROW);
    if (!m_compose) {
        if (exportPage(slideComponent, path, {}))
            return true;
        *error = QStringLiteral("the office wrote nothing");
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
    };
    std::vector<MasterShape> masterShapes;
    bool masterDraws = false;
    if (master.is() && boolProperty(slideProps, "IsBackgroundObjectsVisible", true)) {
        Footers footers;
        footers.header = boolProperty(slideProps, "IsHeaderVisible", false);
        footers.footer = boolProperty(slideProps, "IsFooterVisible", false);
        footers.date = boolProperty(slideProps, "IsDateTimeVisible", false);
        footers.number = boolProperty(slideProps, "IsPageNumberVisible", false);
        for (sal_Int32 i = 0, n = master->getCount(); i < n; ++i) {
            Reference<drawing::XShape> shape(master->getByIndex(i), UNO_QUERY);
            Reference<beans::XPropertySet> set(shape, UNO_QUERY);
            if (!shape.is() || !set.is())
                continue;
            const bool shows = showsOnSlide(shape, set, footers);
            masterShapes.push_back({shape, set, boolProperty(set, "Visible", true), shows,
                                    boolProperty(set, "IsPresentationObject", false)});
            masterDraws = masterDraws || shows;
        }
    }
    const bool background = boolProperty(slideProps, "IsBackgroundVisible", true);

    const QFileInfo target(path);
    const QString dir = target.absolutePath();
    const QString ext = target.suffix().isEmpty() ? QString() : QStringLiteral(".") + target.suffix();
    QStringList layers;
    Undo removeLayers([&layers] {
        for (const QString &layer : layers)
            QFile::remove(layer);
    });
    auto newLayer = [&]() -> QString {
        QString why;
        const QString name = createTemporary(dir, ext, &why);
        if (name.isEmpty())
            *error = why;
        else
            layers << name;
        return name;
    };

    // 1. The background the slide shows: its own, or its master's (which the export of the whole slide loses in
    // some decks, gradients among them). Nothing when it has none.
    if (background) {
        const QString layer = newLayer();
        if (layer.isEmpty())
            return false;
        if (!exportPage(slideComponent, layer, props({prop("ExportOnlyBackground", uno::Any(true))}))) {
            QFile::remove(layer);
            layers.removeLast();
        }
    }

    // 2. The master's objects as this slide shows them; fields take the slide's texts and number.
    if (masterDraws) {
        const QString layer = newLayer();
        if (layer.isEmpty())
            return false;
        Undo restore([&masterShapes] {
            for (const MasterShape &s : masterShapes)
                if (s.shows != s.wasVisible)
                    s.set->setPropertyValue("Visible", uno::Any(s.wasVisible));
        });
        for (const MasterShape &s : masterShapes) {
            if (s.shows != s.wasVisible)
                s.set->setPropertyValue("Visible", uno::Any(s.shows));
            // The office keeps a drawn field's text from the slide it was last drawn for; touching the shape
            // makes it draw the fields anew for this one.
            if (s.shows && s.field)
                s.shape->setSize(s.shape->getSize());
        }
        const Reference<lang::XComponent> masterComponent(master, UNO_QUERY_THROW);
        if (!exportPage(masterComponent, layer, props({prop("CurrentPage", uno::Any(slide))}))) {
            *error = QStringLiteral("the office wrote nothing for the master page's objects");
            return false;
        }
    }

    // 3. The slide's own shapes, without what the layers below already hold. Alone, it is the slide.
    {
        const QString layer = layers.isEmpty() ? path : newLayer();
        if (layer.isEmpty())
            return false;
        const bool objects = boolProperty(slideProps, "IsBackgroundObjectsVisible", true);
        Undo restore([&slideProps, background, objects] {
            slideProps->setPropertyValue("IsBackgroundVisible", uno::Any(background));
            slideProps->setPropertyValue("IsBackgroundObjectsVisible", uno::Any(objects));
        });
        slideProps->setPropertyValue("IsBackgroundVisible", uno::Any(false));
        slideProps->setPropertyValue("IsBackgroundObjectsVisible", uno::Any(false));
        if (!exportPage(slideComponent, layer, {})) {
            *error = QStringLiteral("the office wrote nothing for the slide's own shapes");
            return false;
        }
        if (layer == path)
            return true;
    }

    std::vector<std::unique_ptr<MappedFile>> mapped;
    QList<QByteArrayView> parts;
    for (const QString &layer : layers) {
        mapped.push_back(std::make_unique<MappedFile>(layer));
        if (mapped.back()->data.isEmpty()) {
            *error = QStringLiteral("a layer the office wrote cannot be read back");
            return false;
        }
        parts << mapped.back()->data;
    }
    const QByteArray composed = TlxEmfFile::Compose(parts, error);
    if (composed.isEmpty())
        return false;
    mapped.clear();
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(composed) != composed.size() ||
        !out.flush()) {
        *error = out.errorString();
        out.close();
        return false;
    }
    out.close();
    m_lastLayers = int(layers.size());
    return true;
}

} // namespace office
