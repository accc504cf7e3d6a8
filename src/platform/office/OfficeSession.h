#pragma once

#include "platform/office/OfficeProcess.h"
#include "platform/office/OfficeWatchdog.h"

#include <com/sun/star/drawing/XDrawPage.hpp>
#include <com/sun/star/drawing/XDrawPages.hpp>
#include <com/sun/star/lang/XComponent.hpp>

#include "base/lxOutputOptions.h"

#include <QList>
#include <QString>
#include <QTemporaryDir>

#include <chrono>
#include <functional>

#include <map>
#include <memory>
#include <mutex>

class PdfPages;
class TlxOutputFiles;

namespace deck {
class DeckPackage;
}

namespace office {

// The work behind one application object: its office process, the presentations open in it, the per-file time
// limit and the replacement of an office that died, hung or grew too large.
//
// Used from the thread that created it (an office is started from the thread that owns it); only the watchdog
// runs elsewhere, and it only kills the process.
class OfficeSession {
public:
    OfficeSession(); // starts the office; raises EOleError when it cannot
    ~OfficeSession();
    OfficeSession(const OfficeSession &) = delete;
    OfficeSession &operator=(const OfficeSession &) = delete;

    QString Version();
    // Opens a presentation and returns its handle. The office always loads it read-only and hidden.
    int Open(const QString &path);
    // Writes the slides the options choose in their format: for the per-slide formats slide 1 at path, slide k as
    // path with "-k" before the extension; a PDF at path. Each file is checked before it takes its name; pictures
    // are resampled to the options' resolution first.
    void SaveAs(int doc, const QString &path, const TlxOutputOptions &options);
    // Writes slide k (from 1) as the office itself draws it on screen, a PNG of the given width.
    void ExportPng(int doc, int slide, const QString &path, int width);
    int SlideCount(int doc);
    // Hands an open document and the office's context to tools that draw it the office's own ways, for
    // comparisons; a failed call is reported as every other call of the office.
    void WithDocument(int doc, const std::function<void(const css::uno::Reference<css::uno::XComponentContext> &,
                                                        const css::uno::Reference<css::lang::XComponent> &)> &use);
    void Close(int doc);
    QString SourceOf(int doc) const;
    int OpenCount() const { return static_cast<int>(m_docs.size()); }
    void Quit();

    qint64 ProcessId() const;
    // The per-file limit in seconds (0: none; 120 until set), and, for tests and tuning, the number of files after
    // which the office is replaced.
    void SetTimeoutSeconds(int seconds) { m_timeoutSeconds = std::max(0, seconds); }
    void SetRecycleAfter(int files) { m_recycleAfter = files; }
    void SetRecycleBytes(qint64 bytes) { m_recycleBytes = bytes; }
    int Restarts() const { return m_starts - 1; }

private:
    struct Doc {
        css::uno::Reference<css::lang::XComponent> component;
        QString source;
        int generation = 0;
        std::shared_ptr<QTemporaryDir> copy; // the private copy the office opened, gone when the deck is closed
    };

    void ensureOffice();
    void startOffice();
    void stopOffice();
    // Prepares the fonts the deck carries for the office that opens it, replacing an office that has others.
    void useDeckFonts(const deck::DeckPackage &deck, const QString &path);
    static QByteArray fontsKey(const QList<fonts::FontSetup::File> &fonts);
    int timeoutSeconds() const;
    // Arms the watchdog with the per-file limit for the file about to be opened.
    void armWatchdog();
    // The deck loaded hidden and read-only; an Error of the user's kind (encrypted, damaged, not a presentation)
    // when the office loaded nothing.
    css::uno::Reference<css::lang::XComponent> load(const QString &url, const QString &path);
    // The slides of a loaded presentation; an Error, the document closed, when it is none or has no slides.
    static css::uno::Reference<css::drawing::XDrawPages>
    presentationPages(const css::uno::Reference<css::lang::XComponent> &component, const QString &path);
    // The running office's version, read once; unlike Version() it never starts or replaces the office.
    QString readVersion();
    // Turns a failed call into the right error: timeout, crashed office, or the office's own message.
    [[noreturn]] void failCall(const QString &what, const QString &file);
    // The slides of an open document (kept alive by keep); NotOpen when it is gone with its office.
    css::drawing::XDrawPages *pagesOf(int doc, const QString &what,
                                      css::uno::Reference<css::drawing::XDrawPages> &keep);
    static void closeComponent(const css::uno::Reference<css::lang::XComponent> &component);
    // Waits (bounded) until the office has destroyed what this process gave up of the open documents.
    void settleReleases();

    std::unique_ptr<OfficeProcess> m_process;
    mutable std::mutex m_processLock; // the watchdog reads m_process while the owner may replace it
    OfficeWatchdog m_watchdog;
    std::map<int, Doc> m_docs;
    int m_nextDoc = 1;
    int m_generation = 0;
    int m_starts = 0;
    int m_filesOnOffice = 0;
    int m_armedSeconds = 0;
    std::chrono::steady_clock::time_point m_armedAt;
    int m_timeoutSeconds = 120;
    int m_recycleAfter = 200;
    qint64 m_recycleBytes = qint64(1) << 30;
    bool m_quit = false;
    QString m_version;
    QList<fonts::FontSetup::File> m_nextFonts; // the fonts the next office starts with
    QByteArray m_officeFonts;                  // the running office's, as fontsKey gives them
};

} // namespace office
