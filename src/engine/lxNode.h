#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include "base/lxWorkTimes.h"
#include "fonts/FontReport.h"

class TlxBatch;

// The states of a node; Status holds one of these values (any other value shows as "Running").
enum TlxNodeStatus : qint32 {
    nsRunning = 0,
    nsSuccess = 1, // converted, or skipped because the output exists
    nsFailure = 2,
};

// One input file of a batch. The batch owns its nodes; a node is never removed or moved while the batch lives,
// so pointers handed to workers and event handlers stay valid for the batch's life.
//
// Status and ResultText are written only by the worker that received the node from NextNode, before it reports
// the node through its OnNodeDone handler; readers on other threads read them after that report.
class TlxNode {
public:
    qint32 Status = nsRunning;
    qint32 ListIndex = 0; // position in the batch's list, 0-based, never changed
    QString SourceFile;   // the path exactly as it was added
    QString ResultText;   // output path on success, the message on failure, empty when skipped or running
    QString Root;         // the folder of the source it was found under ('/' at the end), empty for a chosen file
    QStringList Outputs;  // the files written for it; when skipped, the output it has (its slides not looked up)
    qint64 Millis = 0;    // how long its worker took over it
    TlxWorkTimes::Totals Phases;             // where that time went, phase by phase
    QList<fonts::FontReport::Entry> Fonts;   // the fonts it names that the machine lacks, and what drew each
    QList<QPair<int, int>> Equations;        // slides whose equations were drawn from PowerPoint's pictures, how many
    QList<QPair<QString, int>> PictureParts; // EMF files with parts drawn as pictures, how many

    // "Running", "Success" or "Failure"; any other value gives "Running".
    static QString StatusText(qint32 status) {
        switch (status) {
        case nsSuccess:
            return QStringLiteral("Success");
        case nsFailure:
            return QStringLiteral("Failure");
        default:
            return QStringLiteral("Running");
        }
    }
};
