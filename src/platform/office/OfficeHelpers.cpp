#include "platform/office/OfficeHelpers.h"

#include "engine/lxFileName.h"
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

QString createTemporary(const QString &dir, const QString &ext, QString *error) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString name =
            dir + QStringLiteral("/.vorlane-%1").arg(QRandomGenerator::global()->generate64(), 0, 36) + ext;
        const int fd = ::open(TlxFileName::Encode(name).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            return name;
        }
        if (errno != EEXIST) {
            *error = QString::fromLocal8Bit(std::strerror(errno));
            return QString();
        }
    }
    *error = QStringLiteral("no free temporary name");
    return QString();
}

QString writeWhole(const QString &path, const QByteArray &data) {
    const int fd = ::open(TlxFileName::Encode(path).constData(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    int err = fd < 0 ? errno : 0;
    for (qsizetype done = 0; fd >= 0 && !err && done < data.size();) {
        const ssize_t n = ::write(fd, data.constData() + done, size_t(data.size() - done));
        if (n < 0 && errno != EINTR)
            err = errno;
        else if (n > 0)
            done += n;
    }
    if (fd >= 0 && ::close(fd) != 0 && !err)
        err = errno;
    if (!err)
        return QString();
    return err == ENOSPC || err == EDQUOT ? QStringLiteral("the disk is full")
                                          : QString::fromLocal8Bit(std::strerror(err));
}

} // namespace office
