#pragma once

#include "automation/DispatchObject.h"

#include <memory>

namespace office {

class OfficeSession;

// The application's collection of open presentations: Open(path[, readOnly, ...]) and Count.
class OfficePresentations : public automation::IDispatchObject {
public:
    explicit OfficePresentations(std::shared_ptr<OfficeSession> session) : m_session(std::move(session)) {}

    automation::Variant GetProperty(const QString &name, const automation::VariantList &args) override;
    void PutProperty(const QString &name, const automation::Variant &value) override;
    automation::Variant CallMethod(const QString &name, const automation::VariantList &args) override;

private:
    std::shared_ptr<OfficeSession> m_session;
};

} // namespace office
