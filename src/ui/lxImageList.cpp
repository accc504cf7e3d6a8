#include "ui/lxImageList.h"

#include <QHash>

static void initImageResources() {
    // The images live in a static library: make sure its resource object is linked and registered.
    Q_INIT_RESOURCE(lxImages);
}

namespace {
const char *const kFiles[TlxImageList::Count] = {"00-pending", "01-success", "02-failure", "03-open", "04-new",
                                                 "05-save",    "06-saveas",  "07-update",  "08-help", "09-home",
                                                 "10-mail",    "11-about",   "12-preview", nullptr,   "14-config"};

void ensureResources() {
    static const bool done = (initImageResources(), true);
    Q_UNUSED(done);
}
} // namespace

QIcon TlxImageList::Icon(int index) {
    if (index < 0 || index >= Count || !kFiles[index])
        return {};
    ensureResources();
    return QIcon(QStringLiteral(":/images/%1.svg").arg(QLatin1String(kFiles[index])));
}

QPixmap TlxImageList::ProductPicture(int size) {
    ensureResources();
    return QIcon(QStringLiteral(":/images/product.svg")).pixmap(size, size);
}
