#pragma once

#include "automation/DispatchObject.h"

#include <memory>

namespace office {

class OfficeSession;

// One open presentation: SaveAs(path, format code), ExportPng(slide, path, width), Close, FullName, SlideCount.
class OfficePresentation : public automation::IDispatchObject {
public:
    OfficePresentation(std::shared_ptr<OfficeSession> session, int doc) : m_session(std::move(session)), m_doc(doc) {}

    automation::Variant GetProperty(const QString &name, const automation::VariantList &args) override;
    void PutProperty(const QString &name, const automation::Variant &value) override;
    automation::Variant CallMethod(const QString &name, const automation::VariantList &args) override;

private:
    std::shared_ptr<OfficeSession> m_session;
    int m_doc;
};

} // namespace office
