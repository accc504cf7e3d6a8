#pragma once

#include "engine/lxVORLANE.h"
#include "info/lxInfo.h"
#include "platform/office/OfficeServer.h"
#include "project/lxProject.h"

// The global objects a converter run needs, with the real office answering "PowerPoint.Application": made in a
// test's initTestCase, gone with its cleanupTestCase.
class ConverterProject {
public:
    ConverterProject() {
        RegisterOfficeServer();
        lxInfo = new TlxInfo;
        lxProject = new TlxProject;
        lxProject->ConverterClass = TlxVORLANE::Class();
        lxProject->TargetExt = QStringLiteral(".emf");
        lxProject->ShortName = QStringLiteral("vorlane");
    }
    ~ConverterProject() {
        delete lxProject;
        lxProject = nullptr;
        delete lxInfo;
        lxInfo = nullptr;
    }
    ConverterProject(const ConverterProject &) = delete;
    ConverterProject &operator=(const ConverterProject &) = delete;
};
