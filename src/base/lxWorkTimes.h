#pragma once

#include <QList>

#include <chrono>

// Where a converter worker's time goes, measured on its own thread: waiting for a file, starting the office,
// opening decks, resampling pictures, the office's export (its PDF), drawing each page, checking each output,
// writing the files, closing. A phase may run
// inside another (the export inside writing a deck): the inner one's time is its own, not the outer's. Reading the
// clock is all it costs, so it is always on; the conversion benchmark prints it.
class TlxWorkTimes {
public:
    enum Phase { WaitNode, StartOffice, Open, Pictures, Export, Draw, Check, Write, Close, PhaseCount };
    static const char *Name(Phase phase);
    // The phase's name as one word, for JSON keys: "open", "pdf", "pictures", ...
    static const char *Key(Phase phase);

    struct Totals {
        double seconds[PhaseCount] = {};
        double wall = 0; // from the first phase to Publish
        double Busy() const;
        // The time spent between an earlier reading of the same thread's totals and these.
        Totals Since(const Totals &earlier) const;
    };

    // Times one phase on the calling thread for as long as it lives.
    class Scope {
    public:
        explicit Scope(Phase phase);
        ~Scope();
        Scope(const Scope &) = delete;
        Scope &operator=(const Scope &) = delete;

    private:
        int m_outer;
    };

    // The calling thread's totals so far, the running phase's time included (a deck's phases are the difference
    // of two readings around it).
    static Totals Current();
    // Hands in the calling thread's totals and starts it afresh (a worker does this as it ends).
    static void Publish();
    // What the workers handed in since the last Clear, in the order they ended.
    static QList<Totals> Published();
    static void Clear();
};
