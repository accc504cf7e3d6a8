#pragma once

#include <QMutex>
#include <QString>
#include <QStringList>

#include <exception>

class QObject;

// Product information: usage counters kept in a file beside the program, the installation identifier, and the
// links to the help file, the product web site and the support mailbox. Also the handler of errors that reach
// the GUI event loop (counted and reported through the web site's report page, no message box).
//
// UpdateStat is called from converter worker threads as well as the main thread: the store and its file are
// guarded by one lock. OpenLink and HandleException run on the main thread.
class TlxInfo {
public:
    // The product web site (scheme and host only, no trailing "/") and the support mailbox.
    static const QString HomeUrl;
    static const QString SupportAddress;

    // Installs the exception handler, computes InstallId, loads the counters and counts this start ("R").
    TlxInfo();
    // Saves the counters once more.
    ~TlxInfo();
    TlxInfo(const TlxInfo &) = delete;
    TlxInfo &operator=(const TlxInfo &) = delete;

    // Creation time (UTC) of the program's folder, packed as an MS-DOS date-time; -1 when unknown.
    qint32 InstallId = -1;

    // A copy of the store: "name=value" lines in the order their names first appeared.
    QStringList Stats() const;
    // The raw text of one entry (names compare ignoring case), empty when absent.
    QString StatValue(const QString &key) const;

    // newValue > 0 sets the counter to it; otherwise delta is added to its value (absent or non-numeric = 0).
    // The file is written only when the counter's text changes. A file that cannot be written keeps the
    // counters in memory and never stops the caller.
    void UpdateStat(const QString &key, qint64 newValue, qint64 delta);

    // Opens the help file ("h"), a support e-mail ("supports"), or a page of the web site with the product,
    // version, counters and installation id as query parameters. Nothing is reported back.
    void OpenLink(const QString &page, const QString &action, const QString &extra);
    // The target OpenLink hands to the shell.
    QString LinkTarget(const QString &page, const QString &action, const QString &extra) const;

    // Counts the error ("E") and opens the report page with its message.
    void HandleException(const QString &message);
    void HandleException(QObject *sender, const std::exception &error);

    // Reads the counters file (an unreadable, undecodable or untrusted file gives an empty store), then sets "v".
    void LoadStats();
    // Writes the whole store; false when the file could not be written (the store is kept either way).
    bool SaveStats();
    // The program's path with its extension replaced by ".ext".
    QString StatsFileName() const;

    // Appends name=value (double quotes removed, nothing else encoded) to a query text; an empty value adds nothing.
    static void AddQueryParam(QString &query, const QString &name, const QString &value);
    // One item per counter whose name begins with "A".."Z": the letter in lower case and the value ("r12c3a40").
    QString StatsText() const;

    // Hands an error that reached the event loop to the installed TlxInfo; false when none is installed.
    static bool DispatchUnhandled(const QString &message);

private:
    qsizetype indexOfKey(const QString &key) const; // caller holds m_lock
    bool saveLocked();
    QString statsTextLocked() const;

    mutable QMutex m_lock;
    QStringList m_stats;
};

// The single product-information object.
extern TlxInfo *lxInfo;
