#pragma once

#include "automation/DispatchObject.h"
#include "automation/Variant.h"

#include <QSet>
#include <QString>
#include <QStringList>

class QThread;

// A scriptable stand-in for the presentation application, registered under "PowerPoint.Application" while
// installed. It records every call in order (with the calling thread) and fails or succeeds as scripted.
// SaveAs writes a small file at the output path unless told otherwise.
class FakePowerPoint {
public:
    struct Script {
        bool failCreate = false;
        QString createError = QStringLiteral("Server execution failed");
        automation::Variant version = QStringLiteral("16.0");
        bool failVersion = false;
        bool failVisible = false;
        bool failDisplayAlerts = false;
        QSet<QString> failOpen;   // sources whose Open fails with "Cannot open <path>" ("*": every one)
        QSet<QString> failSaveAs; // outputs whose SaveAs fails with "Cannot save <path>" (nothing written)
        bool failClose = false;
        bool failQuit = false;
        QString watchPath;  // each call notes whether this file exists at that moment
        int slideCount = 1; // a presentation's SlideCount; ExportPng draws any slide asked for
        int saveAsMs = 0;   // how long SaveAs takes
    };

    struct Call {
        QString text; // "Create", "Get Version", "Put Visible true", "Open \"a.ppt\" false", "SaveAs \"o.emf\" 23" ...
        QThread *thread = nullptr;
        int app = 0;                 // which application object (1, 2, ...) it was made on
        bool watchedExisted = false; // Script::watchPath existed when the call was made
    };

    // Registers the fake with a fresh script and an empty log; Uninstall puts back what was registered before.
    static void Install();
    static void Uninstall();
    // The script; change it only while no worker runs.
    static Script &script();

    static QList<Call> Calls();
    // Just the texts of the calls, in order.
    static QStringList Log();
    static int Created();
};
