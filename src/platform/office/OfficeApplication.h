#pragma once

#include "automation/DispatchObject.h"

#include <memory>

namespace office {

class OfficeSession;

// "PowerPoint.Application": the application object a converter drives by member name. Visible, WindowState and
// DisplayAlerts are accepted and have no effect (the office runs headless). Besides PowerPoint's members it
// answers ProcessId (the office's process id, 0 when none runs), and takes Timeout (seconds per file,
// overriding the project), RecycleAfter (files per office process) and RecycleBytes (resident memory above
// which the office is replaced before the next file).
class OfficeApplication : public automation::IDispatchObject {
public:
    OfficeApplication(); // starts the office on the calling thread
    ~OfficeApplication() override;

    automation::Variant GetProperty(const QString &name, const automation::VariantList &args) override;
    void PutProperty(const QString &name, const automation::Variant &value) override;
    automation::Variant CallMethod(const QString &name, const automation::VariantList &args) override;

private:
    std::shared_ptr<OfficeSession> m_session;
    bool m_visible = false;
    int m_windowState = 1;
    int m_displayAlerts = 1;
};

} // namespace office
