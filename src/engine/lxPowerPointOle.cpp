#include "engine/lxPowerPointOle.h"

#include "automation/OleError.h"
#include "automation/OleRegistry.h"
#include "base/lxWorkTimes.h"
#include "info/lxInfo.h"
#include "project/lxProject.h"

#include <exception>

using namespace automation;

TlxPowerPointOle::TlxPowerPointOle(TlxBatch *batch, int chainCount, TlxNodeEvent onNodeDone)
    : TlxConvertor(batch, chainCount, std::move(onNodeDone)) {}

TlxPowerPointOle::~TlxPowerPointOle() {
    // CleanUp has normally let go of the application on the worker's thread already.
    QuitApp();
}

void TlxPowerPointOle::CleanUp() {
    QuitApp();
    TlxConvertor::CleanUp();
}

void TlxPowerPointOle::QuitApp() {
    ClosePresentation();
    if (App) {
        try {
            App->CallMethod(QStringLiteral("Quit"));
        } catch (...) {
            // The application may already be gone.
        }
        App.reset();
    }
}

void TlxPowerPointOle::CreateApp() {
    TlxWorkTimes::Scope starting(TlxWorkTimes::StartOffice);
    CoInitialize();
    App = CreateOleObject(QStringLiteral("PowerPoint.Application"));
    try {
        AppVersion = ParseVersion(App->GetProperty(QStringLiteral("Version")));
        if (lxInfo)
            lxInfo->UpdateStat(QStringLiteral("W"), AppVersion, 1);
        App->PutProperty(QStringLiteral("Visible"), true);
        App->PutProperty(QStringLiteral("WindowState"), 2);
    } catch (const std::exception &) {
        // Only the connection matters; the rest is cosmetic.
    }
    try {
        App->PutProperty(QStringLiteral("DisplayAlerts"), 1);
    } catch (const std::exception &) {
    }
    // The time a file may take, for an application that watches it (the office does; others have no such limit).
    try {
        if (lxProject)
            App->PutProperty(QStringLiteral("Timeout"), lxProject->Timeout());
    } catch (const std::exception &) {
    }
}

void TlxPowerPointOle::OpenPresentation(const QString &path) {
    if (!App)
        CreateApp();
    if (Presentation)
        return;
    TlxWorkTimes::Scope opening(TlxWorkTimes::Open);
    const bool readOnly = lxProject && lxProject->BoolOption(QStringLiteral("ReadOnly"), false);
    DispatchRef presentations = App->GetProperty(QStringLiteral("Presentations")).toObject();
    if (!presentations)
        throw EOleError(hr::Fail, QStringLiteral("The application has no presentations collection"));
    Presentation = presentations->CallMethod(QStringLiteral("Open"), {path, readOnly}).toObject();
}

void TlxPowerPointOle::ClosePresentation() {
    if (!Presentation)
        return;
    TlxWorkTimes::Scope closing(TlxWorkTimes::Close);
    try {
        Presentation->CallMethod(QStringLiteral("Close"));
    } catch (...) {
        // Closing is best effort: the next file must not inherit an open presentation either way.
    }
    Presentation.reset();
}

qint32 ParseVersion(const Variant &value) {
    qint32 number = 0;
    double d = 0;
    if (value.type() != Variant::Type::Object && value.type() != Variant::Type::Empty && value.tryDouble(d) &&
        d > -2147483648.0 && d < 2147483648.0) {
        number = Variant(d).toInt();
    } else {
        QString text;
        try {
            text = value.toString();
        } catch (const std::exception &) {
        }
        const qsizetype dot = text.indexOf(u'.');
        if (dot >= 0)
            text.remove(dot, 1);
        bool ok = false;
        number = text.trimmed().toInt(&ok);
        if (!ok)
            number = 0;
    }
    if (number >= 78)
        number /= 10;
    return number;
}
