#include "platform/office/OfficeSession.h"

#include "platform/pdf/PdfPages.h"

#include "engine/lxEmfFile.h"
#include "engine/lxError.h"
#include "engine/lxFileName.h"
#include "engine/lxOutputOptions.h"
#include "engine/lxWorkTimes.h"
#include "platform/office/DeckPackage.h"
#include "platform/office/OfficeAutofit.h"
#include "platform/office/OfficeDeckCopy.h"
#include "platform/office/OfficeErrors.h"
#include "platform/office/OfficeHelpers.h"
#include "platform/office/OfficeInteraction.h"
#include "platform/office/OfficePictureLimit.h"
#include "platform/office/OfficeReleases.h"
#include "platform/office/OfficeSlideExport.h"
#include "platform/office/OfficeStrings.h"
#include "project/lxProject.h"

#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/configuration/theDefaultProvider.hpp>
#include <com/sun/star/container/XNameAccess.hpp>
#include <com/sun/star/document/MacroExecMode.hpp>
#include <com/sun/star/document/UpdateDocMode.hpp>
#include <com/sun/star/document/XExporter.hpp>
#include <com/sun/star/document/XFilter.hpp>
#include <com/sun/star/drawing/GraphicExportFilter.hpp>
#include <com/sun/star/drawing/XDrawPages.hpp>
#include <com/sun/star/drawing/XDrawPagesSupplier.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/io/IOException.hpp>
#include <com/sun/star/io/XOutputStream.hpp>
#include <com/sun/star/lang/XMultiComponentFactory.hpp>
#include <com/sun/star/lang/XMultiServiceFactory.hpp>
#include <com/sun/star/lang/XServiceInfo.hpp>
#include <com/sun/star/ucb/SimpleFileAccess.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <osl/file.hxx>

#include <QCryptographicHash>
#include <QDir>
#include <QTemporaryDir>
#include <rtl/ref.hxx>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QtEndian>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
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

// Pixels an inch of the pictures that stand in an EMF for what its records cannot say (soft masks, blend modes).
constexpr int kIslandResolution = 150;

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

QByteArray OfficeSession::fontsKey(const QList<OfficeFonts::File> &fonts) {
    QCryptographicHash hash(QCryptographicHash::Sha1);
    for (const OfficeFonts::File &f : fonts)
        hash.addData(f.data);
    return fonts.isEmpty() ? QByteArray() : hash.result();
}

void OfficeSession::useDeckFonts(const DeckPackage &deck, const QString &path) {
    // An office sees the fonts it was started with only: a deck with fonts of its own gets an office started
    // with them, and the next deck without them a fresh one, so that no deck draws with another deck's fonts.
    QStringList notUsed;
    m_nextFonts = OfficeFonts::DeckFonts(deck, &notUsed);
    for (const QString &font : notUsed)
        qWarning("%s: a font it carries is not used, the office draws its text with another: %s", qPrintable(path),
                 qPrintable(font));
    if (m_process && m_docs.empty() && fontsKey(m_nextFonts) != m_officeFonts)
        stopOffice();
    else if (m_process && fontsKey(m_nextFonts) != m_officeFonts)
        qWarning("%s: the fonts it carries are not used while another deck is open", qPrintable(path));
}

int OfficeSession::timeoutSeconds() const {
    if (m_timeoutOverride >= 0)
        return m_timeoutOverride;
    return lxProject ? lxProject->Timeout() : 120;
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

int OfficeSession::Open(const QString &path) {
    QString url;
    if (isUrl(path)) {
        url = path;
    } else {
        if (!TlxFileName::Exists(path))
            throw Error(Failure::Missing, path);
        if (!TlxFileName::IsFile(path))
            throw Error(Failure::NotAFile, path);
        if (::access(TlxFileName::Encode(path).constData(), R_OK) != 0)
            throw Error(Failure::Unreadable, path);
        // An empty file would load as a new blank deck.
        if (TlxFileName::Size(path) == 0)
            throw Error(Failure::Empty, path);
        url = fileUrl(path);
    }
    // Read once, before the office opens the deck: its fonts, whether it needs a private copy, its text scales.
    const DeckPackage package(isUrl(path) ? QString() : path);
    useDeckFonts(package, path);
    // Where a private copy mends what the office would draw wrongly, the office opens that instead.
    std::shared_ptr<QTemporaryDir> copyDir;
    if (OfficeDeckCopy::Needed(package)) {
        copyDir = std::make_shared<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/vorlane-deck-XXXXXX"));
        const QString copy = copyDir->isValid() ? OfficeDeckCopy::Make(package, copyDir->path()) : QString();
        if (copy.isEmpty())
            copyDir.reset();
        else
            url = fileUrl(copy);
    }
    ensureOffice();
    m_armedSeconds = timeoutSeconds();
    m_armedAt = std::chrono::steady_clock::now();
    if (m_armedSeconds > 0)
        m_watchdog.Arm(std::chrono::seconds(m_armedSeconds));
    else
        m_watchdog.Disarm();
    ++m_filesOnOffice;

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
    try {
        if (!component.is()) {
            if (m_watchdog.Fired() || m_process->IsDead())
                failCall(loadError, path);
            switch (interaction->reason()) {
            case OfficeInteraction::Reason::Password:
                throw Error(Failure::Encrypted, path);
            case OfficeInteraction::Reason::Broken:
                throw Error(Failure::Damaged, path);
            case OfficeInteraction::Reason::NoFilter:
                throw Error(Failure::NotPresentation, path);
            case OfficeInteraction::Reason::ErrorCode:
                if (interaction->errorCode() == kErrEncryptedPpt)
                    throw Error(Failure::Encrypted, path);
                throw Error(Failure::Damaged, path);
            case OfficeInteraction::Reason::Other:
            case OfficeInteraction::Reason::None:
                break;
            }
            // Nothing asked and nothing loaded: the office found no way to read the bytes as a document.
            throw Error(Failure::NotPresentation, path);
        }
        Reference<lang::XServiceInfo> info(component, UNO_QUERY);
        if (!info.is() || !info->supportsService("com.sun.star.presentation.PresentationDocument")) {
            closeComponent(component);
            throw Error(Failure::NotPresentation, path);
        }
        Reference<drawing::XDrawPagesSupplier> pages(component, UNO_QUERY_THROW);
        if (pages->getDrawPages()->getCount() == 0) {
            closeComponent(component);
            throw Error(Failure::NoSlides, path);
        }
        OfficeAutofit::Apply(pages->getDrawPages(), OfficeAutofit::FromDeck(package));
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

QString OfficeSession::SourceOf(int doc) const {
    auto it = m_docs.find(doc);
    return it == m_docs.end() ? QString() : it->second.source;
}

namespace {
// The chosen slides as the office's page ranges: "1-3,5,7-9".
QString pageRange(const QList<int> &slides) {
    QStringList parts;
    for (qsizetype i = 0; i < slides.size();) {
        qsizetype j = i;
        while (j + 1 < slides.size() && slides.at(j + 1) == slides.at(j) + 1)
            ++j;
        parts << (i == j ? QString::number(slides.at(i)) : QStringLiteral("%1-%2").arg(slides.at(i)).arg(slides.at(j)));
        i = j + 1;
    }
    return parts.join(u',');
}

QByteArray readFile(const QString &path, QString *error) {
    QFile file;
    if (!TlxFileName::Open(file, path, QIODevice::ReadOnly, error))
        return QByteArray();
    return file.readAll();
}

QString pdfEnds(const QByteArray &data) {
    if (!data.startsWith("%PDF-") || !data.right(1024).contains("%%EOF"))
        return QStringLiteral("it is not a complete PDF document");
    return QString();
}

QString svgEnds(const QByteArray &data) {
    if (!data.startsWith("<?xml") || !data.contains("<svg") || !data.trimmed().endsWith("</svg>"))
        return QStringLiteral("it is not a whole SVG document");
    return QString();
}

// The signature, then the header chunk with the width asked for.
QString checkPng(const QByteArray &data, int pngWidth) {
    if (!data.startsWith("\x89PNG\r\n\x1a\n") || data.size() < 24 || data.mid(12, 4) != "IHDR")
        return QStringLiteral("it is not a PNG picture");
    const quint32 width = qFromBigEndian<quint32>(data.constData() + 16);
    if (width != quint32(pngWidth))
        return QStringLiteral("it is %1 pixels wide, not %2").arg(width).arg(pngWidth);
    return QString();
}

// Empty when the file at path is a whole PDF document (its start and its end); a reason for the user otherwise.
QString checkPdf(const QString &path) {
    QString error;
    const QByteArray data = readFile(path, &error);
    if (!error.isEmpty())
        return QStringLiteral("it cannot be read (%1)").arg(error);
    return pdfEnds(data);
}
} // namespace

void OfficeSession::SaveAs(int doc, const QString &path, int code) {
    using Format = TlxOutputOptions::Format;
    Format format = Format::Emf;
    if (!TlxOutputOptions::FromSaveAsCode(code, &format))
        throw Error(Failure::BadFormat, QString::number(code));
    TlxOutputOptions options;
    try {
        options = TlxOutputOptions::FromProject();
    } catch (const ElxError &e) {
        throw Error(Failure::Other, e.Message());
    }
    options.format = format;
    auto it = m_docs.find(doc);
    if (it == m_docs.end() || it->second.generation != m_generation || !m_process)
        throw Error(Failure::NotOpen, path);
    const QString source = it->second.source;
    const QString target = TlxFileName::Absolute(path);
    const QString dir = folderOf(target);
    // The office picks its way of writing by the file's name too: a compressed EMF is written as a plain one
    // first (under ".emz" it would keep the pictures as the deck stores them) and compressed here.
    const QString ext = format == Format::Emz ? QStringLiteral(".emf") : TlxFileName::Extension(target);
    QStringList temps, finals;
    auto removeTemps = [&temps] {
        for (const QString &t : temps)
            TlxFileName::Remove(t);
    };
    // Every file goes to a hidden temporary name beside its output first: a half-written file never takes the
    // place of an output, and a folder that refuses files is told here, clearly.
    auto temporaryFor = [&](const QString &final) {
        QString error;
        const QString tmp = createTemporary(dir, ext, &error);
        if (tmp.isEmpty())
            throw Error(Failure::OutputNotWritable, final, error);
        temps << tmp;
        finals << final;
        return tmp;
    };
    try {
        Reference<drawing::XDrawPagesSupplier> supplier(it->second.component, UNO_QUERY_THROW);
        Reference<drawing::XDrawPages> pages = supplier->getDrawPages();
        const int count = pages->getCount();
        if (count == 0)
            throw Error(Failure::NoSlides, source);
        const QList<int> chosen = options.ChosenSlides(count);
        if (chosen.isEmpty())
            throw Error(Failure::ExportFailed, target,
                        QStringLiteral("the deck has %1 slides, none of them among the slides %2")
                            .arg(count)
                            .arg(options.SlidesText()));
        // Pictures are kept at most this fine; a PNG needs them no finer than its own pixels.
        const int resolution =
            format == Format::Png ? pngResolution(pages, chosen.first(), options.pngWidth) : options.imageResolution;
        OfficePictureLimit pictures(m_process->Context(), it->second.component, resolution);
        auto slideAt = [&](int k) {
            Reference<drawing::XDrawPage> page(pages->getByIndex(k - 1), UNO_QUERY_THROW);
            pictures.Apply(page);
            return page;
        };
        if (format == Format::Pdf) {
            for (int k : chosen)
                slideAt(k);
            const QString tmp = temporaryFor(target);
            TlxWorkTimes::Scope exporting(TlxWorkTimes::Export);
            storePdf(m_process->Context(), it->second.component, tmp, options.imageResolution,
                     options.AllSlides() ? QList<int>() : chosen, false);
            const QString error = checkPdf(tmp);
            if (!error.isEmpty())
                throw Error(Failure::ExportFailed, target,
                            OfficeSlideExport::WhyNothing(dir, QStringLiteral("the PDF is not valid: %1").arg(error)));
        } else if (m_officeEmf && (format == Format::Emf || format == Format::Emz)) {
            writeOfficeEmf(pages, chosen, format, target, slideAt, temporaryFor);
        } else {
            // Every per-slide format is drawn here from one PDF of the chosen slides, made in one call: the office
            // draws each slide whole (master objects, fields, transparency, pictures in their places).
            for (int k : chosen)
                slideAt(k);
            const PdfPages drawn(officePdf(m_process->Context(), it->second.component,
                                           options.AllSlides() ? QList<int>() : chosen, target));
            writePdfPages(drawn, format, options, chosen, count, target, source, temporaryFor);
        }
        for (qsizetype i = 0; i < temps.size(); ++i) {
            if (!TlxFileName::Rename(temps.at(i), finals.at(i), true))
                throw Error(Failure::OutputNotWritable, finals.at(i), QString::fromLocal8Bit(std::strerror(errno)));
        }
        temps.clear();
    } catch (const automation::EOleError &) {
        removeTemps();
        throw;
    } catch (const uno::Exception &e) {
        removeTemps();
        // A store that fails on a full disk says only "I/O error": say what the user can act on.
        if (!m_watchdog.Fired() && m_process && !m_process->IsDead() &&
            OfficeSlideExport::WhyNothing(dir, QString()) == QLatin1String("the disk is full"))
            throw Error(Failure::ExportFailed, target, QStringLiteral("the disk is full"));
        failCall(fromOU(e.Message), source);
    }
    for (const QString &final : finals) {
        if (TlxFileName::Size(final) <= 0)
            throw Error(Failure::ExportFailed, final, QStringLiteral("the file is missing or empty"));
    }
}

void OfficeSession::writeOfficeEmf(const Reference<drawing::XDrawPages> &pages, const QList<int> &chosen,
                                   TlxOutputOptions::Format format, const QString &target,
                                   const std::function<Reference<drawing::XDrawPage>(int)> &slideAt,
                                   const std::function<QString(const QString &)> &temporaryFor) {
    OfficeSlideExport slides(drawing::GraphicExportFilter::create(m_process->Context()));
    const int count = pages->getCount();
    for (int k : chosen) {
        const QString final = TlxOutputOptions::SlidePath(target, k);
        const QString tmp = temporaryFor(final);
        QString error;
        if (!slides.Write(slideAt(k), tmp, &error))
            throw Error(Failure::ExportFailed, final,
                        QStringLiteral("slide %1 of %2 was not written: %3").arg(k).arg(count).arg(error));
        TlxWorkTimes::Scope checking(TlxWorkTimes::Write);
        error = TlxEmfFile::CheckFile(tmp);
        if (error.isEmpty() && format == TlxOutputOptions::Format::Emz) {
            const QByteArray emf = readFile(tmp, &error);
            if (error.isEmpty())
                error = writeWhole(tmp, TlxEmfFile::Gzip(emf));
        }
        if (!error.isEmpty())
            throw Error(Failure::ExportFailed, final,
                        QStringLiteral("slide %1 of %2 is not a valid EMF: %3")
                            .arg(k)
                            .arg(count)
                            .arg(OfficeSlideExport::WhyNothing(folderOf(target), error)));
    }
}

int OfficeSession::pngResolution(const Reference<drawing::XDrawPages> &pages, int slide, int pngWidth) {
    sal_Int32 width = 0;
    Reference<beans::XPropertySet>(pages->getByIndex(slide - 1), UNO_QUERY_THROW)->getPropertyValue("Width") >>= width;
    return width > 0 ? int((qint64(pngWidth) * 2540 + width - 1) / width) : 0;
}

void OfficeSession::storePdf(const Reference<uno::XComponentContext> &context,
                             const Reference<lang::XComponent> &component, const QString &path, int resolution,
                             const QList<int> &slides, bool hidden) {
    uno::Sequence<beans::PropertyValue> filterData =
        props({prop("ReduceImageResolution", uno::Any(resolution > 0)),
               prop("MaxImageResolution", uno::Any(sal_Int32(std::max(1, resolution)))),
               prop("ExportNotesPages", uno::Any(false)), prop("ExportNotes", uno::Any(false)),
               prop("ExportHiddenSlides", uno::Any(hidden))});
    if (!slides.isEmpty()) {
        filterData.realloc(filterData.getLength() + 1);
        filterData.getArray()[filterData.getLength() - 1] = prop("PageRange", uno::Any(toOU(pageRange(slides))));
    }
    // The PDF filter itself, writing into a stream of the file: storing the document would first read its own
    // location, which the office refuses for a deck whose name is not valid UTF-8.
    const Reference<lang::XMultiComponentFactory> factory = context->getServiceManager();
    Reference<document::XExporter> exporter(
        factory->createInstanceWithContext("com.sun.star.comp.PDF.PDFFilter", context), UNO_QUERY_THROW);
    exporter->setSourceDocument(component);
    const Reference<io::XOutputStream> out = ucb::SimpleFileAccess::create(context)->openFileWrite(toOU(fileUrl(path)));
    bool written = false;
    try {
        written = Reference<document::XFilter>(exporter, UNO_QUERY_THROW)
                      ->filter(props({prop("OutputStream", uno::Any(out)), prop("FilterData", uno::Any(filterData))}));
    } catch (...) {
        out->closeOutput();
        throw;
    }
    out->closeOutput();
    if (!written)
        throw io::IOException("the office's PDF export failed");
}

QByteArray OfficeSession::officePdf(const Reference<uno::XComponentContext> &context,
                                    const Reference<lang::XComponent> &component, const QList<int> &slides,
                                    const QString &target) {
    // In the temporary folder: only the pages drawn from it go to the target.
    const QString dir = QDir::tempPath();
    QString why;
    const QString scratch = createTemporary(dir, QStringLiteral(".pdf"), &why);
    if (scratch.isEmpty())
        throw Error(Failure::ExportFailed, target, OfficeSlideExport::WhyNothing(dir, why));
    QByteArray pdf;
    try {
        TlxWorkTimes::Scope exporting(TlxWorkTimes::Export);
        // Hidden slides too: slide k is always the file "-k", as in the other formats. The pictures are at
        // their limit already.
        storePdf(context, component, scratch, 0, slides, true);
        pdf = readFile(scratch, &why);
    } catch (...) {
        TlxFileName::Remove(scratch);
        throw;
    }
    TlxFileName::Remove(scratch);
    if (why.isEmpty() && !pdfEnds(pdf).isEmpty())
        why = QStringLiteral("the office wrote no complete PDF");
    if (!why.isEmpty())
        throw Error(Failure::ExportFailed, target, OfficeSlideExport::WhyNothing(dir, why));
    return pdf;
}

void OfficeSession::writePdfPages(const PdfPages &drawn, TlxOutputOptions::Format format,
                                  const TlxOutputOptions &options, const QList<int> &chosen, int count,
                                  const QString &target, const QString &source,
                                  const std::function<QString(const QString &)> &temporaryFor) {
    if (!drawn.Error().isEmpty())
        throw Error(Failure::ExportFailed, target, drawn.Error());
    if (drawn.Count() != chosen.size())
        throw Error(
            Failure::ExportFailed, target,
            QStringLiteral("the office's PDF has %1 pages for %2 slides").arg(drawn.Count()).arg(chosen.size()));
    // The drawing is part of the file's work: the time limit covers it as it covers the office's calls.
    const auto deadline = m_armedSeconds > 0 ? m_armedAt + std::chrono::seconds(m_armedSeconds)
                                             : std::chrono::steady_clock::time_point::max();
    for (qsizetype i = 0; i < chosen.size(); ++i) {
        const int k = chosen.at(i);
        const QString final = TlxOutputOptions::SlidePath(target, k);
        const QString tmp = temporaryFor(final);
        TlxWorkTimes::Scope writing(TlxWorkTimes::Write);
        QString error;
        const QByteArray page = drawPage(drawn, int(i), format, options, deadline, &error);
        if (!error.isEmpty() && std::chrono::steady_clock::now() >= deadline)
            throw Error(Failure::Timeout, source, QString::number(m_armedSeconds));
        if (error.isEmpty())
            error = writeWhole(tmp, page);
        if (!error.isEmpty())
            throw Error(Failure::ExportFailed, final,
                        QStringLiteral("slide %1 of %2 was not written: %3").arg(k).arg(count).arg(error));
    }
}

QByteArray OfficeSession::drawPage(const PdfPages &drawn, int page, TlxOutputOptions::Format format,
                                   const TlxOutputOptions &options, std::chrono::steady_clock::time_point deadline,
                                   QString *error) {
    using Format = TlxOutputOptions::Format;
    QByteArray data;
    switch (format) {
    case Format::Svg:
        data = drawn.Svg(page, error);
        // The drawing library wrote the SVG whole or said why not: its start and end are looked at.
        if (error->isEmpty())
            *error = svgEnds(data);
        return data;
    case Format::Png:
        data = drawn.Png(page, options.pngWidth, error);
        if (error->isEmpty())
            *error = checkPng(data, options.pngWidth);
        return data;
    case Format::Emf:
    case Format::Emz:
        data = drawn.Emf(page, options.imageResolution, kIslandResolution, error, true, deadline);
        // A file that is not whole never counts as a converted slide; an .emz is the EMF checked, compressed.
        if (error->isEmpty())
            *error = TlxEmfFile::Check(data);
        if (error->isEmpty() && format == Format::Emz)
            data = TlxEmfFile::Gzip(data);
        if (error->isEmpty() && data.isEmpty())
            *error = QStringLiteral("it could not be compressed");
        return data;
    case Format::Pdf:
        break;
    }
    *error = QStringLiteral("the format is not drawn page by page");
    return QByteArray();
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

bool OfficeSession::SlideHidden(int doc, int slide) {
    Reference<drawing::XDrawPages> pages;
    try {
        pagesOf(doc, SourceOf(doc), pages);
        if (slide < 1 || slide > pages->getCount())
            return false;
        bool visible = true;
        Reference<beans::XPropertySet>(pages->getByIndex(slide - 1), UNO_QUERY_THROW)->getPropertyValue("Visible") >>=
            visible;
        return !visible;
    } catch (const uno::Exception &e) {
        failCall(fromOU(e.Message), SourceOf(doc));
    }
}

void OfficeSession::ExportPng(int doc, int slide, const QString &path, int width) {
    const QString source = SourceOf(doc);
    Reference<drawing::XDrawPages> pages;
    try {
        pagesOf(doc, path, pages);
        if (slide < 1 || slide > pages->getCount())
            throw Error(Failure::ExportFailed, path, QStringLiteral("there is no slide %1").arg(slide));
        writePng(Reference<drawing::XDrawPage>(pages->getByIndex(slide - 1), UNO_QUERY_THROW), path, width);
    } catch (const uno::Exception &e) {
        failCall(fromOU(e.Message), source);
    }
}

void OfficeSession::writePng(const Reference<drawing::XDrawPage> &slide, const QString &path, int width) {
    TlxWorkTimes::Scope exporting(TlxWorkTimes::Export);
    Reference<lang::XComponent> page(slide, UNO_QUERY_THROW);
    Reference<beans::XPropertySet> size(page, UNO_QUERY_THROW);
    sal_Int32 w = 0, h = 0;
    size->getPropertyValue("Width") >>= w;
    size->getPropertyValue("Height") >>= h;
    const sal_Int32 height = w > 0 ? sal_Int32(qint64(width) * h / w) : width * 3 / 4;
    Reference<drawing::XGraphicExportFilter> exporter = drawing::GraphicExportFilter::create(m_process->Context());
    exporter->setSourceDocument(page);
    const Sequence<beans::PropertyValue> filterData =
        props({prop("PixelWidth", uno::Any(sal_Int32(width))), prop("PixelHeight", uno::Any(height))});
    const Sequence<beans::PropertyValue> args =
        props({prop("URL", uno::Any(toOU(fileUrl(path)))), prop("MediaType", uno::Any(OUString("image/png"))),
               prop("FilterData", uno::Any(filterData))});
    if (!Reference<document::XFilter>(exporter, UNO_QUERY_THROW)->filter(args) || TlxFileName::Size(path) <= 0)
        throw Error(Failure::ExportFailed, path,
                    OfficeSlideExport::WhyNothing(folderOf(path), QStringLiteral("the office wrote no picture")));
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
