#include "automation/OleRegistry.h"

#include "automation/OleError.h"

#include <QHash>
#include <QMutex>
#include <QMutexLocker>

#include <exception>

namespace automation {

namespace {
thread_local bool t_initialized = false;

struct Registry {
    QMutex lock;
    QHash<QString, ObjectFactory> factories; // keyed by the lower-cased ProgID
};

Registry &registry() {
    static Registry r;
    return r;
}

EOleError withProgId(std::uint32_t code, const QString &text, const QString &progId) {
    return EOleError(code, QStringLiteral("%1, ProgID: \"%2\"").arg(text, progId));
}
} // namespace

std::uint32_t CoInitialize() {
    if (t_initialized)
        return 1;
    t_initialized = true;
    return 0;
}

bool IsThreadInitialized() {
    return t_initialized;
}

ObjectFactory RegisterProgID(const QString &progId, ObjectFactory factory) {
    Registry &r = registry();
    QMutexLocker locker(&r.lock);
    const QString key = progId.toLower();
    ObjectFactory previous = r.factories.value(key);
    if (factory)
        r.factories.insert(key, std::move(factory));
    else
        r.factories.remove(key);
    return previous;
}

DispatchRef CreateOleObject(const QString &progId) {
    if (!t_initialized)
        throw withProgId(hr::NotInitialized, QStringLiteral("CoInitialize has not been called"), progId);
    ObjectFactory factory;
    {
        Registry &r = registry();
        QMutexLocker locker(&r.lock);
        factory = r.factories.value(progId.toLower());
    }
    if (!factory)
        throw withProgId(hr::InvalidClassString, QStringLiteral("Invalid class string"), progId);
    DispatchRef object;
    try {
        object = factory();
    } catch (const EOleError &e) {
        throw withProgId(e.code(), e.message(), progId);
    } catch (const std::exception &e) {
        throw withProgId(hr::ServerExecFailure, QString::fromUtf8(e.what()), progId);
    }
    if (!object)
        throw withProgId(hr::ServerExecFailure, QStringLiteral("Server execution failed"), progId);
    return object;
}

} // namespace automation
