#include "platform/office/OfficePresentations.h"

#include "platform/office/OfficePresentation.h"
#include "platform/office/OfficeSession.h"

using namespace automation;

namespace office {

Variant OfficePresentations::GetProperty(const QString &name, const VariantList &args) {
    CheckArgs(args, 0, 0);
    if (IsMember(name, QLatin1String("Count")))
        return m_session->OpenCount();
    UnknownMember(name);
}

void OfficePresentations::PutProperty(const QString &name, const Variant &) {
    UnknownMember(name);
}

Variant OfficePresentations::CallMethod(const QString &name, const VariantList &args) {
    if (IsMember(name, QLatin1String("Open"))) {
        // Open(FileName, ReadOnly, Untitled, WithWindow): the office loads read-only and hidden in any case,
        // so only the file name matters; the flags are checked for their kind.
        CheckArgs(args, 1, 4);
        for (qsizetype i = 1; i < args.size(); ++i)
            args.at(i).toBool();
        const int doc = m_session->Open(args.at(0).toString());
        return DispatchRef(std::make_shared<OfficePresentation>(m_session, doc));
    }
    UnknownMember(name);
}

} // namespace office
