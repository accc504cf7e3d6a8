#include "GlobalObjects.h"

#include "TestSupport.h"

#include "engine/lxMatch.h"
#include "info/lxInfo.h"
#include "project/lxApp.h"
#include "project/lxProject.h"
#include "project/lxStartup.h"

#include <QDir>

GlobalObjects::GlobalObjects(const QString &commandLineTail) {
    QDir(m_dir.path()).mkpath(QStringLiteral("bin"));
    lxApp = new TlxApp(exePath(), commandLineTail);
    lxInfo = new TlxInfo;
    lxProject = new TlxProject;
    InitConverterProfile(*lxProject);
    Matcher = new TlxMatch;
}

GlobalObjects::~GlobalObjects() {
    ShutDown();
    TestSupport::removeAll(m_dir.path()); // names that are not UTF-8 too
}
