#pragma once

#include "automation/Variant.h"

#include <QString>

namespace automation {

// An object reached by member name: read a property, write a property, call a method, with positional
// arguments only. Member names compare ignoring letter case. Failures raise EOleError.
//
// An object is used from the thread that created it; implementations need not be thread-safe.
class IDispatchObject {
public:
    virtual ~IDispatchObject() = default;

    virtual Variant GetProperty(const QString &name, const VariantList &args = {}) = 0;
    virtual void PutProperty(const QString &name, const Variant &value) = 0;
    virtual Variant CallMethod(const QString &name, const VariantList &args = {}) = 0;

    // Helpers for implementations.
    static bool IsMember(const QString &name, QLatin1String member) {
        return name.compare(member, Qt::CaseInsensitive) == 0;
    }
    // Raises the platform's "unknown name" failure.
    [[noreturn]] static void UnknownMember(const QString &name);
    // Raises the platform's wrong-argument-count failure unless args has between min and max entries.
    static void CheckArgs(const VariantList &args, qsizetype min, qsizetype max);
};

} // namespace automation
