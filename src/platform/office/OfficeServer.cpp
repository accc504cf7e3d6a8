#include "platform/office/OfficeServer.h"

#include "automation/OleRegistry.h"
#include "platform/office/OfficeApplication.h"

void RegisterOfficeServer() {
    automation::RegisterProgID(QStringLiteral("PowerPoint.Application"),
                               [] { return std::make_shared<office::OfficeApplication>(); });
}
