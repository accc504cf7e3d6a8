#pragma once

#include "platform/office/OfficeProcess.h"
#include "platform/office/OfficeWatchdog.h"

#include <com/sun/star/drawing/XDrawPage.hpp>
#include <com/sun/star/drawing/XDrawPages.hpp>
#include <com/sun/star/lang/XComponent.hpp>

#include "engine/lxOutputOptions.h"

#include <QList>
#include <QString>
#include <QTemporaryDir>

#include <chrono>
#include <functional>

#include <map>
#include <memory>
#include <mutex>

class PdfPages;

namespace office {

class DeckPackage;

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
    // Writes the slides the project's "Slides" chooses in the format of the code (see TlxOutputOptions): for
    // the per-slide formats slide 1 at path, slide k as path with "-k" before the extension; a PDF at path. Each
    // file is checked before it takes its name; pictures are resampled to "ImageResolution" first.
    void SaveAs(int doc, const QString &path, int format);
    // Writes slide k (from 1) as the office itself draws it on screen, a PNG of the given width.
    void ExportPng(int doc, int slide, const QString &path, int width);
    int SlideCount(int doc);
    // Whether slide k (from 1) is hidden from the slide show (and so missing from a deck's own PDF of it).
    bool SlideHidden(int doc, int slide);
    void Close(int doc);
    QString SourceOf(int doc) const;
    int OpenCount() const { return static_cast<int>(m_docs.size()); }
    void Quit();

    qint64 ProcessId() const;
    // Overrides for tests and tuning: the per-file limit in seconds (negative: the project's "Timeout"), and the
    // number of files after which the office is replaced.
    void SetTimeoutSeconds(int seconds) { m_timeoutOverride = seconds; }
    void SetRecycleAfter(int files) { m_recycleAfter = files; }
    void SetRecycleBytes(qint64 bytes) { m_recycleBytes = bytes; }
    // On: EMF slides are the office's own EMF export of each slide, as it writes them (for comparisons).
    void SetOfficeEmf(bool on) { m_officeEmf = on; }
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
    void useDeckFonts(const DeckPackage &deck, const QString &path);
    static QByteArray fontsKey(const QList<OfficeFonts::File> &fonts);
    int timeoutSeconds() const;
    // The running office's version, read once; unlike Version() it never starts or replaces the office.
    QString readVersion();
    // Turns a failed call into the right error: timeout, crashed office, or the office's own message.
    [[noreturn]] void failCall(const QString &what, const QString &file);
    // The slides of an open document (kept alive by keep); NotOpen when it is gone with its office.
    css::drawing::XDrawPages *pagesOf(int doc, const QString &what,
                                      css::uno::Reference<css::drawing::XDrawPages> &keep);
    void writePng(const css::uno::Reference<css::drawing::XDrawPage> &slide, const QString &path, int width);
    // The deck (slides: only these; hidden: with hidden slides) as a PDF at path, pictures at most resolution
    // pixels an inch (0: as stored).
    static void storePdf(const css::uno::Reference<css::uno::XComponentContext> &context,
                         const css::uno::Reference<css::lang::XComponent> &component, const QString &path,
                         int resolution, const QList<int> &slides, bool hidden);
    // The chosen slides as one PDF, read whole; raises an Error for target when the office wrote none.
    static QByteArray officePdf(const css::uno::Reference<css::uno::XComponentContext> &context,
                                const css::uno::Reference<css::lang::XComponent> &component, const QList<int> &slides,
                                const QString &target);
    // The pixels an inch of a PNG pngWidth wide of the slide (from 1).
    static int pngResolution(const css::uno::Reference<css::drawing::XDrawPages> &pages, int slide, int pngWidth);
    // Each page of drawn as the file of its slide, through temporaryFor; raises an Error for the first that fails,
    // a timeout of source when the file's time ran out while drawing.
    void writePdfPages(const PdfPages &drawn, TlxOutputOptions::Format format, const TlxOutputOptions &options,
                       const QList<int> &chosen, int count, const QString &target, const QString &source,
                       const std::function<QString(const QString &)> &temporaryFor);
    void writeOfficeEmf(const css::uno::Reference<css::drawing::XDrawPages> &pages, const QList<int> &chosen,
                        TlxOutputOptions::Format format, const QString &target,
                        const std::function<css::uno::Reference<css::drawing::XDrawPage>(int)> &slideAt,
                        const std::function<QString(const QString &)> &temporaryFor);
    // One page in the format, checked whole; empty with error set otherwise.
    static QByteArray drawPage(const PdfPages &drawn, int page, TlxOutputOptions::Format format,
                               const TlxOutputOptions &options, std::chrono::steady_clock::time_point deadline,
                               QString *error);
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
    int m_timeoutOverride = -1;
    int m_recycleAfter = 200;
    qint64 m_recycleBytes = qint64(1) << 30;
    bool m_quit = false;
    bool m_officeEmf = false;
    QString m_version;
    QList<OfficeFonts::File> m_nextFonts; // the fonts the next office starts with
    QByteArray m_officeFonts;             // the running office's, as fontsKey gives them
};

} // namespace office
