#include "automation/DispatchObject.h"

#include "automation/OleError.h"

namespace automation {

void IDispatchObject::UnknownMember(const QString &name) {
    throw EOleError(hr::UnknownName, QStringLiteral("Unknown name: %1").arg(name));
}

void IDispatchObject::CheckArgs(const VariantList &args, qsizetype min, qsizetype max) {
    if (args.size() < min || args.size() > max)
        throw EOleError(hr::BadParamCount, QStringLiteral("Invalid number of parameters."));
}

} // namespace automation
