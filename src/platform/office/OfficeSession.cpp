#include "platform/office/OfficeSession.h"

#include "base/lxError.h"
#include "base/lxFileName.h"
#include "base/lxOutputFiles.h"
#include "base/lxOutputOptions.h"
#include "base/lxWorkTimes.h"
#include "deck/DeckAutofit.h"
#include "deck/DeckCopy.h"
#include "deck/DeckPackage.h"
#include "fonts/FontClass.h"
#include "platform/office/OfficeAutofit.h"
#include "platform/office/OfficeErrors.h"
#include "platform/office/OfficeHelpers.h"
#include "platform/office/OfficeInteraction.h"
#include "platform/office/OfficeOutput.h"
#include "platform/office/OfficePdfExport.h"
#include "platform/office/OfficePictureLimit.h"
#include "platform/office/OfficeReleases.h"
#include "platform/office/OfficeSlideExport.h"
#include "platform/office/OfficeStrings.h"
#include "render/PageOutput.h"
#include "render/PdfPages.h"
#include "render/lxEmfFile.h"

#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/configuration/theDefaultProvider.hpp>
#include <com/sun/star/container/XNameAccess.hpp>
#include <com/sun/star/document/MacroExecMode.hpp>
#include <com/sun/star/document/UpdateDocMode.hpp>
#include <com/sun/star/drawing/GraphicExportFilter.hpp>
#include <com/sun/star/drawing/XDrawPages.hpp>
#include <com/sun/star/drawing/XDrawPagesSupplier.hpp>
#include <com/sun/star/lang/XMultiServiceFactory.hpp>
#include <com/sun/star/lang/XServiceInfo.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <rtl/ref.hxx>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <unistd.h>

using namespace css;
using css::uno::Reference;
using css::uno::Sequence;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;

namespace office {

namespace {
// Encrypted binary presentations are reported with this office error code (a wrong-password/encrypted-file code)
constexpr quint32 kErrEncryptedPpt = 0x10b11;

bool isUrl(const QString &path) {
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+://"));
    return scheme.match(path).hasMatch();
}

} // namespace

OfficeSession::OfficeSession()
    : m_watchdog([this] {
          std::lock_guard<std::mutex> g(m_processLock);
          if (m_process)
              m_process->Kill();
      }) {
    startOffice();
}

OfficeSession::~OfficeSession() {
    Quit();
}

void OfficeSession::startOffice() {
    auto process = std::make_unique<OfficeProcess>(m_nextFonts);
    m_officeFonts = fontsKey(m_nextFonts);
    std::lock_guard<std::mutex> g(m_processLock);
    m_process = std::move(process);
    m_filesOnOffice = 0;
    ++m_generation;
    ++m_starts;
}

void OfficeSession::stopOffice() {
    if (m_process) {
        // Ending politely can hang in a sick office: the watchdog bounds it.
        m_watchdog.Arm(std::chrono::seconds(15));
        m_process->Shutdown();
        m_watchdog.Disarm();
        std::lock_guard<std::mutex> g(m_processLock);
        m_process.reset();
    }
    m_docs.clear();
}

void OfficeSession::ensureOffice() {
    if (m_quit)
        throw Error(Failure::Other, QStringLiteral("the office application has quit"));
    if (m_process && m_docs.empty()) {
        // A watchdog that fired since its last arming (a close that hung after the slides were written, say) has
        // killed the office, even when its end has not been seen yet: the next file must not go to it.
        const bool recycle = m_watchdog.Fired() || m_process->IsDead() ||
                             (m_recycleAfter > 0 && m_filesOnOffice >= m_recycleAfter) ||
                             (m_recycleBytes > 0 && m_process->ResidentBytes() > m_recycleBytes);
        if (recycle)
            stopOffice();
    } else if (m_process && (m_watchdog.Fired() || m_process->IsDead())) {
        stopOffice();
    }
    if (!m_process)
        startOffice();
}

QByteArray OfficeSession::fontsKey(const QList<fonts::FontSetup::File> &fonts) {
    QCryptographicHash hash(QCryptographicHash::Sha1);
    for (const fonts::FontSetup::File &f : fonts)
        hash.addData(f.data);
    return fonts.isEmpty() ? QByteArray() : hash.result();
}

void OfficeSession::useDeckFonts(const deck::DeckPackage &deck, const QString &path) {
    // An office sees the fonts it was started with only: a deck with fonts of its own gets an office started
    // with them, and the next deck without them a fresh one, so that no deck draws with another deck's fonts.
    QStringList notUsed;
    m_nextFonts = fonts::FontSetup::DeckFonts(deck, &notUsed);
    for (const QString &font : notUsed)
        qWarning("%s: a font it carries is not used, the office draws its text with another: %s", qPrintable(path),
                 qPrintable(font));
    if (m_process && m_docs.empty() && fontsKey(m_nextFonts) != m_officeFonts)
        stopOffice();
    else if (m_process && fontsKey(m_nextFonts) != m_officeFonts)
        qWarning("%s: the fonts it carries are not used while another deck is open", qPrintable(path));
}

int OfficeSession::timeoutSeconds() const {
    return m_timeoutSeconds;
}

qint64 OfficeSession::ProcessId() const {
    std::lock_guard<std::mutex> g(m_processLock);
    return m_process ? m_process->Pid() : 0;
}

QString OfficeSession::Version() {
    if (!m_version.isEmpty())
        return m_version;
    ensureOffice();
    return readVersion();
}

QString OfficeSession::readVersion() {
    if (!m_version.isEmpty())
        return m_version;
    try {
        Reference<lang::XMultiServiceFactory> provider = configuration::theDefaultProvider::get(m_process->Context());
        Sequence<uno::Any> args(1);
        args.getArray()[0] <<= prop("nodepath", uno::Any(OUString("/org.openoffice.Setup/Product")));
        Reference<container::XNameAccess> node(
            provider->createInstanceWithArguments("com.sun.star.configuration.ConfigurationAccess", args),
            UNO_QUERY_THROW);
        OUString version;
        node->getByName("ooSetupVersion") >>= version;
        m_version = fromOU(version);
    } catch (const uno::Exception &e) {
        throw Error(Failure::Other, fromOU(e.Message), QStringLiteral("Cannot read the office version"));
    }
    return m_version;
}

void OfficeSession::failCall(const QString &what, const QString &file) {
    if (m_watchdog.Fired())
        throw Error(Failure::Timeout, file, QString::number(m_armedSeconds));
    if (m_process && (m_process->IsDead() || m_process->WaitDead(300))) {
        m_process->WaitDead(300);
        throw Error(Failure::Crashed, file, m_process->EndDescription());
    }
    throw Error(Failure::Other, what, QStringLiteral("The office could not convert %1").arg(file));
}

namespace {
// The office's address of the deck at path, a web address as it is; an Error for a file that cannot be a deck.
QString deckUrl(const QString &path) {
    if (isUrl(path))
        return path;
    if (!TlxFileName::Exists(path))
        throw Error(Failure::Missing, path);
    if (!TlxFileName::IsFile(path))
        throw Error(Failure::NotAFile, path);
    if (::access(TlxFileName::Encode(path).constData(), R_OK) != 0)
        throw Error(Failure::Unreadable, path);
    // An empty file would load as a new blank deck.
    if (TlxFileName::Size(path) == 0)
        throw Error(Failure::Empty, path);
    return fileUrl(path);
}

// Where a private copy mends what the office would draw wrongly, the office opens that instead: its folder (gone
// with the deck), url set to it; none where the deck needs none or it could not be made.
std::shared_ptr<QTemporaryDir> privateCopy(const deck::DeckPackage &package, QString *url) {
    const QHash<QString, QString> fonts = fonts::FontClass::Renames(package);
    if (!deck::DeckCopy::Needed(package, fonts))
        return nullptr;
    auto dir = std::make_shared<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/vorlane-deck-XXXXXX"));
    const QString copy = dir->isValid() ? deck::DeckCopy::Make(package, dir->path(), fonts) : QString();
    if (copy.isEmpty())
        return nullptr;
    *url = fileUrl(copy);
    return dir;
}

// Why the office loaded nothing, as the user's error: what it asked about, else not a presentation.
[[noreturn]] void notLoaded(const OfficeInteraction &interaction, const QString &path) {
    switch (interaction.reason()) {
    case OfficeInteraction::Reason::Password:
        throw Error(Failure::Encrypted, path);
    case OfficeInteraction::Reason::Broken:
        throw Error(Failure::Damaged, path);
    case OfficeInteraction::Reason::NoFilter:
        throw Error(Failure::NotPresentation, path);
    case OfficeInteraction::Reason::ErrorCode:
        throw Error(interaction.errorCode() == kErrEncryptedPpt ? Failure::Encrypted : Failure::Damaged, path);
    case OfficeInteraction::Reason::Other:
    case OfficeInteraction::Reason::None:
        break;
    }
    // Nothing asked and nothing loaded: the office found no way to read the bytes as a document.
    throw Error(Failure::NotPresentation, path);
}
} // namespace

int OfficeSession::Open(const QString &path) {
    QString url = deckUrl(path);
    // Read once, before the office opens the deck: its fonts, whether it needs a private copy, its text scales.
    const deck::DeckPackage package(isUrl(path) ? QString() : path);
    useDeckFonts(package, path);
    std::shared_ptr<QTemporaryDir> copyDir = privateCopy(package, &url);
    ensureOffice();
    armWatchdog();
    ++m_filesOnOffice;
    Reference<lang::XComponent> component;
    try {
        component = load(url, path);
        OfficeAutofit::Apply(presentationPages(component, path), deck::DeckAutofit::FromDeck(package));
    } catch (const automation::EOleError &) {
        m_watchdog.Disarm();
        throw;
    } catch (const uno::Exception &e) {
        closeComponent(component);
        m_watchdog.Disarm();
        failCall(fromOU(e.Message), path);
    }
    const int id = m_nextDoc++;
    m_docs[id] = Doc{component, path, m_generation, copyDir};
    return id;
}

void OfficeSession::armWatchdog() {
    m_armedSeconds = timeoutSeconds();
    m_armedAt = std::chrono::steady_clock::now();
    if (m_armedSeconds > 0)
        m_watchdog.Arm(std::chrono::seconds(m_armedSeconds));
    else
        m_watchdog.Disarm();
}

Reference<lang::XComponent> OfficeSession::load(const QString &url, const QString &path) {
    rtl::Reference<OfficeInteraction> interaction = new OfficeInteraction;
    Sequence<beans::PropertyValue> loadProps = props({
        prop("Hidden", uno::Any(true)),
        // Never written back: no lock files beside the user's files, whatever the caller asked for.
        prop("ReadOnly", uno::Any(true)),
        prop("MacroExecutionMode", uno::Any(document::MacroExecMode::NEVER_EXECUTE)),
        prop("UpdateDocMode", uno::Any(document::UpdateDocMode::NO_UPDATE)),
        prop("InteractionHandler", uno::Any(Reference<task::XInteractionHandler>(interaction.get()))),
    });
    Reference<lang::XComponent> component;
    QString loadError;
    try {
        component = m_process->Desktop()->loadComponentFromURL(toOU(url), "_blank", 0, loadProps);
    } catch (const uno::RuntimeException &e) {
        failCall(fromOU(e.Message), path);
    } catch (const uno::Exception &e) {
        loadError = fromOU(e.Message);
    }
    if (component.is())
        return component;
    if (m_watchdog.Fired() || m_process->IsDead())
        failCall(loadError, path);
    notLoaded(*interaction, path);
}

Reference<drawing::XDrawPages> OfficeSession::presentationPages(const Reference<lang::XComponent> &component,
                                                                const QString &path) {
    Reference<lang::XServiceInfo> info(component, UNO_QUERY);
    if (!info.is() || !info->supportsService("com.sun.star.presentation.PresentationDocument")) {
        closeComponent(component);
        throw Error(Failure::NotPresentation, path);
    }
    Reference<drawing::XDrawPages> pages =
        Reference<drawing::XDrawPagesSupplier>(component, UNO_QUERY_THROW)->getDrawPages();
    if (pages->getCount() == 0) {
        closeComponent(component);
        throw Error(Failure::NoSlides, path);
    }
    return pages;
}

QString OfficeSession::SourceOf(int doc) const {
    auto it = m_docs.find(doc);
    return it == m_docs.end() ? QString() : it->second.source;
}

namespace {
// Every output under its final name, each one there and not empty.
void commit(TlxOutputFiles &files) {
    const QStringList finals = files.Finals();
    QString failed, error;
    if (!files.Commit(&failed, &error))
        throw Error(Failure::OutputNotWritable, failed, error);
    for (const QString &final : finals)
        if (TlxFileName::Size(final) <= 0)
            throw Error(Failure::ExportFailed, final, QStringLiteral("the file is missing or empty"));
}
} // namespace

void OfficeSession::SaveAs(int doc, const QString &path, const TlxOutputOptions &options) {
    auto it = m_docs.find(doc);
    if (it == m_docs.end() || it->second.generation != m_generation || !m_process)
        throw Error(Failure::NotOpen, path);
    const Doc &d = it->second;
    const QString target = TlxFileName::Absolute(path);
    const QString dir = folderOf(target);
    // The office picks its way of writing by the file's name too: a compressed EMF is written as a plain one
    // first (under ".emz" it would keep the pictures as the deck stores them) and compressed here. Every file
    // goes to a hidden temporary name beside its output first, so a folder that refuses files is told clearly.
    TlxOutputFiles files(dir, options.format == TlxOutputOptions::Format::Emz ? QStringLiteral(".emf")
                                                                              : TlxFileName::Extension(target));
    try {
        OfficeOutput(m_process->Context(), d.component, d.source, m_armedAt, m_armedSeconds)
            .Write(options, target, files);
    } catch (const uno::Exception &e) {
        files.Discard();
        // A store that fails on a full disk says only "I/O error": say what the user can act on.
        if (!m_watchdog.Fired() && m_process && !m_process->IsDead() &&
            OfficeSlideExport::WhyNothing(dir, QString()) == QLatin1String("the disk is full"))
            throw Error(Failure::ExportFailed, target, QStringLiteral("the disk is full"));
        failCall(fromOU(e.Message), d.source);
    }
    commit(files);
}

drawing::XDrawPages *OfficeSession::pagesOf(int doc, const QString &what, Reference<drawing::XDrawPages> &keep) {
    auto it = m_docs.find(doc);
    if (it == m_docs.end() || it->second.generation != m_generation || !m_process)
        throw Error(Failure::NotOpen, what);
    keep = Reference<drawing::XDrawPagesSupplier>(it->second.component, UNO_QUERY_THROW)->getDrawPages();
    return keep.get();
}

int OfficeSession::SlideCount(int doc) {
    Reference<drawing::XDrawPages> pages;
    try {
        return pagesOf(doc, SourceOf(doc), pages)->getCount();
    } catch (const uno::Exception &e) {
        failCall(fromOU(e.Message), SourceOf(doc));
    }
}

void OfficeSession::WithDocument(
    int doc,
    const std::function<void(const Reference<uno::XComponentContext> &, const Reference<lang::XComponent> &)> &use) {
    auto it = m_docs.find(doc);
    if (it == m_docs.end() || it->second.generation != m_generation || !m_process)
        throw Error(Failure::NotOpen, SourceOf(doc));
    try {
        use(m_process->Context(), it->second.component);
    } catch (const uno::Exception &e) {
        failCall(fromOU(e.Message), it->second.source);
    }
}

void OfficeSession::ExportPng(int doc, int slide, const QString &path, int width) {
    const QString source = SourceOf(doc);
    Reference<drawing::XDrawPages> pages;
    try {
        pagesOf(doc, path, pages);
        if (slide < 1 || slide > pages->getCount())
            throw Error(Failure::ExportFailed, path, QStringLiteral("there is no slide %1").arg(slide));
        QString error;
        OfficeSlideExport exporter(drawing::GraphicExportFilter::create(m_process->Context()));
        if (!exporter.WritePng(Reference<drawing::XDrawPage>(pages->getByIndex(slide - 1), UNO_QUERY_THROW), path,
                               width, &error))
            throw Error(Failure::ExportFailed, path, error);
    } catch (const uno::Exception &e) {
        failCall(fromOU(e.Message), source);
    }
}

void OfficeSession::closeComponent(const Reference<lang::XComponent> &component) {
    if (!component.is())
        return;
    try {
        Reference<util::XCloseable> closeable(component, UNO_QUERY);
        if (closeable.is())
            closeable->close(true);
        else
            component->dispose();
    } catch (const uno::Exception &) {
        // A document that refuses or an office that is gone: nothing more to do for it.
    }
}

void OfficeSession::settleReleases() {
    // The shapes, pages and pictures given up while the deck was converted must be gone in the office before the
    // deck is: a newer office that destroys one of them after its document aborts in the destructor.
    if (m_process && !m_process->IsDead())
        AwaitReleases(m_process->Context(), std::chrono::seconds(10));
}

void OfficeSession::Close(int doc) {
    auto it = m_docs.find(doc);
    if (it != m_docs.end()) {
        if (it->second.generation == m_generation && m_process && !m_process->IsDead()) {
            settleReleases();
            closeComponent(it->second.component);
        }
        m_docs.erase(it);
    }
    if (m_docs.empty())
        m_watchdog.Disarm();
}

void OfficeSession::Quit() {
    if (m_quit)
        return;
    m_quit = true;
    if (!m_docs.empty())
        settleReleases();
    for (auto &d : m_docs)
        if (d.second.generation == m_generation && m_process && !m_process->IsDead())
            closeComponent(d.second.component);
    m_docs.clear();
    m_watchdog.Disarm();
    stopOffice();
}

} // namespace office
