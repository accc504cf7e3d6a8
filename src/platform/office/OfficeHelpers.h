#pragma once

#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/drawing/XShape.hpp>
#include <com/sun/star/drawing/XShapes.hpp>
#include <com/sun/star/uno/Exception.hpp>
#include <com/sun/star/uno/RuntimeException.hpp>
#include <com/sun/star/uno/Sequence.hxx>

#include <QByteArray>
#include <QString>

#include <functional>
#include <initializer_list>

// Small routines shared by the office server's classes.
namespace office {

css::beans::PropertyValue prop(const char *name, const css::uno::Any &value);
css::uno::Sequence<css::beans::PropertyValue> props(std::initializer_list<css::beans::PropertyValue> list);

// The office's URL of a local path; empty when the path cannot be expressed as one.
QString fileUrl(const QString &path);
// The absolute folder a path lies in, without a closing '/' (but "/" itself).
QString folderOf(const QString &path);

// Calls visit for every shape of shapes, with its type name, going into groups instead of visiting them.
void forEachShape(const css::uno::Reference<css::drawing::XShapes> &shapes,
                  const std::function<void(const css::uno::Reference<css::drawing::XShape> &, const QString &)> &visit);

// Runs f, leaving things as they are when the office refuses the call; an office that is gone (a runtime
// exception, a dead bridge) still ends the file.
template <class F> void tolerant(F f) {
    try {
        f();
    } catch (const css::uno::RuntimeException &) {
        throw;
    } catch (const css::uno::Exception &) {
    }
}

} // namespace office
