#include "WindowTestEnv.h"

#include "TestSupport.h"

#include "info/lxInfo.h"
#include "project/lxApp.h"
#include "project/lxProject.h"

#include <QDir>

WindowTestEnv::WindowTestEnv() {
    QDir(m_dir.path()).mkpath(QStringLiteral("bin"));
    lxApp = new TlxApp(exePath(), QString());
    lxInfo = new TlxInfo;
    lxProject = new TlxProject;
    lxProject->ShortName = QStringLiteral("vorlane");
    lxProject->SourceMask = QStringLiteral("*.ppt?");
    lxProject->SourceFilter = QStringLiteral("PowerPoint Workbook (*.ppt;*.pptx)|*.ppt;*.pptx");
    lxProject->TargetExt = QStringLiteral(".emf");
    lxProject->ProjectExt = QStringLiteral(".batch-vorlane");
    lxProject->ProjectFilter = QStringLiteral("Quillon Project|*.batch-vorlane");
    lxProject->Title = QStringLiteral("Quillon Converter");
    lxProject->Version = QStringLiteral("2018.10.222.1802");
}

WindowTestEnv::~WindowTestEnv() {
    delete lxProject;
    lxProject = nullptr;
    delete lxInfo;
    lxInfo = nullptr;
    delete lxApp;
    lxApp = nullptr;
    TestSupport::removeAll(m_dir.path()); // names that are not UTF-8 too
}
