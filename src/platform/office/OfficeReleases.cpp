#include "platform/office/OfficeReleases.h"

#include <com/sun/star/container/EnumerableMap.hpp>
#include <com/sun/star/lang/XEventListener.hpp>
#include <cppuhelper/implbase1.hxx>

#include <condition_variable>
#include <memory>
#include <mutex>

using namespace css;
using css::uno::Reference;

namespace office {

namespace {

struct Signal {
    std::mutex lock;
    std::condition_variable changed;
    bool done = false;
};

// Tells its signal when it is destroyed, that is when the office has given up its last reference to it.
class Marker : public cppu::WeakImplHelper1<lang::XEventListener> {
public:
    explicit Marker(std::shared_ptr<Signal> signal) : m_signal(std::move(signal)) {}
    ~Marker() override {
        std::lock_guard<std::mutex> g(m_signal->lock);
        m_signal->done = true;
        m_signal->changed.notify_all();
    }
    void SAL_CALL disposing(const lang::EventObject &) override {}

private:
    std::shared_ptr<Signal> m_signal;
};

} // namespace

bool AwaitReleases(const Reference<uno::XComponentContext> &context, std::chrono::milliseconds limit) {
    if (!context.is())
        return false;
    auto signal = std::make_shared<Signal>();
    try {
        Reference<container::XEnumerableMap> map = container::EnumerableMap::create(
            context, cppu::UnoType<sal_Int32>::get(), cppu::UnoType<uno::XInterface>::get());
        Reference<uno::XInterface> marker(static_cast<cppu::OWeakObject *>(new Marker(signal)));
        map->put(uno::Any(sal_Int32(0)), uno::Any(marker));
        // From here on only the office holds the marker, and only through the map.
        marker.clear();
        map.clear();
    } catch (const uno::Exception &) {
        return false; // the office is gone or refuses: nothing to wait for
    }
    std::unique_lock<std::mutex> g(signal->lock);
    return signal->changed.wait_for(g, limit, [&] { return signal->done; });
}

} // namespace office
