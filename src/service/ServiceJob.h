#pragma once

#include "base/lxOutputOptions.h"
#include "fonts/FontReport.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <chrono>
#include <condition_variable>
#include <mutex>

// One deck of a request: where its upload lies and its output goes (folders of the request's own, named by
// number: no name a client sent is a path), the name its files take in the answer, and what became of it.
struct ServiceDeck {
    QString name;      // the upload's base name made safe, "-2" after a second of the same name
    QString shownAs;   // the name with the upload's extension, for messages
    QString source;    // the upload, DIR/in/K.EXT
    QString outputDir; // DIR/out/K, where the office writes deck.EXT, deck-2.EXT, ...
    // What became of it:
    QStringList files; // the written files, in slide order
    double seconds = 0;
    QString error; // why it failed; empty when converted
    QList<fonts::FontReport::Entry> fonts;
    QList<QPair<int, int>> equations;
    QList<QPair<QString, int>> pictureParts;
};

// One request's decks, converted by one worker in turn with the request's own options, and the hand-over of the
// result back to the thread that answers the request.
class ServiceJob {
public:
    QList<ServiceDeck> decks;
    TlxOutputOptions options;
    std::chrono::steady_clock::time_point queued = std::chrono::steady_clock::now();
    double queueSeconds = 0; // from queued to a worker taking it: counted apart from the decks' time limit

    // The worker's end of it: every deck has its result (or the service stopped first, with why).
    void Finish(const QString &stopped = QString());
    // Waits until Finish; true when the decks were converted (each converted or failed on its own), false when
    // the service stopped before a worker took it.
    bool Wait();

private:
    std::mutex m_lock;
    std::condition_variable m_done;
    bool m_finished = false;
    QString m_stopped;
};
