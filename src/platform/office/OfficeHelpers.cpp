#include "platform/office/OfficeHelpers.h"

#include "base/lxFileName.h"
#include "platform/office/OfficeStrings.h"

#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace office {

css::beans::PropertyValue prop(const char *name, const css::uno::Any &value) {
    css::beans::PropertyValue p;
    p.Name = OUString::createFromAscii(name);
    p.Value = value;
    return p;
}

css::uno::Sequence<css::beans::PropertyValue> props(std::initializer_list<css::beans::PropertyValue> list) {
    return css::uno::Sequence<css::beans::PropertyValue>(list.begin(), static_cast<sal_Int32>(list.size()));
}

void forEachShape(
    const css::uno::Reference<css::drawing::XShapes> &shapes,
    const std::function<void(const css::uno::Reference<css::drawing::XShape> &, const QString &)> &visit) {
    if (!shapes.is())
        return;
    for (sal_Int32 i = 0, n = shapes->getCount(); i < n; ++i) {
        const css::uno::Reference<css::drawing::XShape> shape(shapes->getByIndex(i), css::uno::UNO_QUERY);
        if (!shape.is())
            continue;
        const QString type = fromOU(shape->getShapeType());
        if (type.endsWith(QLatin1String(".GroupShape")))
            forEachShape(css::uno::Reference<css::drawing::XShapes>(shape, css::uno::UNO_QUERY), visit);
        else
            visit(shape, type);
    }
}

QString fileUrl(const QString &path) {
    // Built from the name's bytes: the office's own conversion goes through text and loses bytes that are not
    // UTF-8, while a percent-encoded URL reaches any file.
    return TlxFileName::FileUrl(TlxFileName::Absolute(path));
}

QString folderOf(const QString &path) {
    const QString absolute = TlxFileName::Absolute(path);
    const qsizetype slash = absolute.lastIndexOf(u'/');
    return slash <= 0 ? QStringLiteral("/") : absolute.left(slash);
}

} // namespace office
