#include "platform/office/OfficeApplication.h"

#include "platform/office/OfficePresentations.h"
#include "platform/office/OfficeSession.h"

using namespace automation;

namespace office {

OfficeApplication::OfficeApplication() : m_session(std::make_shared<OfficeSession>()) {}

OfficeApplication::~OfficeApplication() {
    // Releasing the last reference without Quit still ends the office.
    m_session->Quit();
}

Variant OfficeApplication::GetProperty(const QString &name, const VariantList &args) {
    CheckArgs(args, 0, 0);
    if (IsMember(name, QLatin1String("Version")))
        return m_session->Version();
    if (IsMember(name, QLatin1String("Presentations")))
        return DispatchRef(std::make_shared<OfficePresentations>(m_session));
    if (IsMember(name, QLatin1String("Visible")))
        return m_visible;
    if (IsMember(name, QLatin1String("WindowState")))
        return m_windowState;
    if (IsMember(name, QLatin1String("DisplayAlerts")))
        return m_displayAlerts;
    if (IsMember(name, QLatin1String("ProcessId")))
        return static_cast<int>(m_session->ProcessId());
    if (IsMember(name, QLatin1String("Name")))
        return QStringLiteral("LibreOffice Impress");
    UnknownMember(name);
}

void OfficeApplication::PutProperty(const QString &name, const Variant &value) {
    if (IsMember(name, QLatin1String("Visible")))
        m_visible = value.toBool();
    else if (IsMember(name, QLatin1String("WindowState")))
        m_windowState = value.toInt();
    else if (IsMember(name, QLatin1String("DisplayAlerts")))
        m_displayAlerts = value.toInt();
    else if (IsMember(name, QLatin1String("Timeout")))
        m_session->SetTimeoutSeconds(value.toInt());
    else if (IsMember(name, QLatin1String("RecycleAfter")))
        m_session->SetRecycleAfter(value.toInt());
    else if (IsMember(name, QLatin1String("RecycleBytes")))
        m_session->SetRecycleBytes(value.toDouble() > 0 ? qint64(value.toDouble()) : 0);
    else
        UnknownMember(name);
}

Variant OfficeApplication::CallMethod(const QString &name, const VariantList &args) {
    if (IsMember(name, QLatin1String("Quit"))) {
        CheckArgs(args, 0, 0);
        m_session->Quit();
        return Variant();
    }
    UnknownMember(name);
}

} // namespace office
