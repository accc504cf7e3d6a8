#pragma once

#include "automation/DispatchObject.h"
#include "automation/Variant.h"
#include "engine/lxConvertor.h"

#include <QString>

// The connection of one worker to the presentation application ("PowerPoint.Application", reached by member
// name): created on the worker's first file that is not skipped, kept for all its further files, and told to
// quit when the worker ends. Every call on App and Presentation is made on the worker's own thread.
class TlxPowerPointOle : public TlxConvertor {
public:
    TlxPowerPointOle(TlxBatch *batch, int chainCount, TlxNodeEvent onNodeDone);
    ~TlxPowerPointOle() override;

    automation::DispatchRef App;          // the application object, or none
    automation::DispatchRef Presentation; // the presentation open at the moment, or none
    qint32 AppVersion = 0;                // from ParseVersion of App.Version; 0 when it could not be read

    // Creates App and sets it up. A failure to create it raises the creation error and leaves App none, so the
    // next file tries again; failures while setting it up are ignored.
    void CreateApp();
    // Makes sure App exists, then opens path into Presentation unless one is open ("ReadOnly" option passed on).
    void OpenPresentation(const QString &path);
    // Closes Presentation if one is open; never fails.
    void ClosePresentation();

protected:
    // The worker's end, on its own thread: App.Quit (errors ignored).
    void CleanUp() override;

private:
    void QuitApp();
};

// The whole version number in an application's Version value: "16.0" gives 16. A value that is not a number in
// the locale's notation is read as text without its first "." (so "7.0" read that way gives 70); numbers of 78
// and above are divided by 10.
qint32 ParseVersion(const automation::Variant &value);
