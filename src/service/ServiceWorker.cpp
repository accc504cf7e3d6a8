#include "service/ServiceWorker.h"

#include "automation/OleError.h"
#include "automation/OleRegistry.h"
#include "base/lxError.h"
#include "deck/DeckCopy.h"
#include "deck/DeckPackage.h"
#include "render/lxEmfFile.h"
#include "service/ServiceMetrics.h"
#include "service/ServicePool.h"

#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <exception>

using namespace automation;

namespace {
QString messageOf(const std::exception &e) {
    if (auto *ole = dynamic_cast<const EOleError *>(&e))
        return ole->message();
    if (auto *own = dynamic_cast<const ElxError *>(&e))
        return own->Message();
    return QString::fromUtf8(e.what());
}
} // namespace

ServiceWorker::ServiceWorker(ServicePool &pool, ServiceMetrics &metrics, int timeoutSeconds)
    : m_pool(pool), m_metrics(metrics), m_timeoutSeconds(timeoutSeconds) {}

ServiceWorker::~ServiceWorker() {
    Join();
    delete m_thread;
}

void ServiceWorker::Start() {
    if (m_thread)
        return;
    m_thread = QThread::create([this] { run(); });
    m_thread->start();
}

void ServiceWorker::Join() {
    if (m_thread)
        m_thread->wait();
}

const char *ServiceWorker::StateName(State state) {
    switch (state) {
    case Starting:
        return "starting";
    case Ready:
        return "idle";
    case Converting:
        return "converting";
    case Down:
        return "down";
    default:
        return "ended";
    }
}

void ServiceWorker::run() {
    CoInitialize();
    while (!m_pool.Stopping()) {
        if (!m_app && !startOffice()) {
            // No office: tried again a little later, unless the service stops meanwhile.
            m_pool.WaitForStop(5000);
            continue;
        }
        const std::shared_ptr<ServiceJob> job = m_pool.Take();
        if (!job)
            break;
        m_state.store(Converting, std::memory_order_release);
        convert(*job);
        job->Finish();
        m_state.store(m_app ? Ready : Down, std::memory_order_release);
        m_pool.Done();
    }
    quitOffice();
    m_state.store(Ended, std::memory_order_release);
}

bool ServiceWorker::startOffice() {
    m_state.store(Starting, std::memory_order_release);
    try {
        m_app = CreateOleObject(QStringLiteral("PowerPoint.Application"));
        try {
            m_app->PutProperty(QStringLiteral("DisplayAlerts"), 1);
            m_app->PutProperty(QStringLiteral("Timeout"), m_timeoutSeconds);
        } catch (const std::exception &) {
            // An application without these still converts.
        }
    } catch (const std::exception &e) {
        qWarning("the service's office could not be started: %s", qPrintable(messageOf(e)));
        m_app.reset();
    }
    m_state.store(m_app ? Ready : Down, std::memory_order_release);
    return bool(m_app);
}

void ServiceWorker::quitOffice() {
    closePresentation();
    if (!m_app)
        return;
    try {
        m_app->CallMethod(QStringLiteral("Quit"));
    } catch (...) {
        // It may be gone already.
    }
    m_app.reset();
}

// An office seen with another process than the last one was replaced: after a deck that hung or crashed it (the
// new one is seen at the next deck), or for a deck that carries fonts, which starts one with them.
void ServiceWorker::noteOffice() {
    const qint64 now = officeProcess();
    if (now != 0 && m_lastOffice != 0 && now != m_lastOffice)
        m_metrics.OfficeRestart();
    if (now != 0)
        m_lastOffice = now;
}

qint64 ServiceWorker::officeProcess() {
    try {
        return m_app ? m_app->GetProperty(QStringLiteral("ProcessId")).toInt() : 0;
    } catch (const std::exception &) {
        return 0;
    }
}

bool ServiceWorker::alive() {
    try {
        return m_app && !m_app->GetProperty(QStringLiteral("Version")).isEmpty();
    } catch (const std::exception &) {
        return false;
    }
}

void ServiceWorker::closePresentation() {
    if (!m_presentation)
        return;
    try {
        m_presentation->CallMethod(QStringLiteral("Close"));
    } catch (...) {
    }
    m_presentation.reset();
}

void ServiceWorker::convert(ServiceJob &job) {
    job.queueSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - job.queued).count();
    m_metrics.QueueWait(job.queueSeconds);
    for (ServiceDeck &deck : job.decks) {
        if (!m_app && !startOffice()) {
            deck.error = QStringLiteral("no office could be started");
            continue;
        }
        convertDeck(deck, job.options);
        m_metrics.Deck(deck.seconds, int(deck.files.size()), !deck.error.isEmpty());
    }
}

void ServiceWorker::convertDeck(ServiceDeck &deck, const TlxOutputOptions &options) {
    QElapsedTimer timer;
    timer.start();
    noteOffice();
    try {
        DispatchRef presentations = m_app->GetProperty(QStringLiteral("Presentations")).toObject();
        if (!presentations)
            throw EOleError(hr::Fail, QStringLiteral("The application has no presentations collection"));
        m_presentation = presentations->CallMethod(QStringLiteral("Open"), {deck.source, true}).toObject();
        if (!m_presentation)
            throw ElxError(QStringLiteral("The presentation could not be opened"));
        const int slides = m_presentation->GetProperty(QStringLiteral("SlideCount")).toInt();
        const QString output = deck.outputDir + QStringLiteral("/deck") + options.Extension();
        m_presentation->CallMethod(QStringLiteral("SaveAs"), {output, options.SaveAsCode(), false, options.Text()});
        closePresentation();
        deck.files = writtenFiles(output, options, slides);
        if (deck.files.isEmpty())
            deck.error =
                QStringLiteral("no slide was written (the deck has %1, the request chose none of them)").arg(slides);
    } catch (const std::exception &e) {
        // The request's folders are the service's business: the message names the deck as it was sent.
        deck.error = messageOf(e).replace(deck.source, deck.shownAs);
        closePresentation();
    }
    noteOffice();
    if (!deck.error.isEmpty() && !alive())
        m_app.reset(); // the connection itself is gone: the next deck starts a new one
    deck.seconds = double(timer.elapsed()) / 1000.0;
    if (deck.error.isEmpty())
        describe(deck);
}

QStringList ServiceWorker::writtenFiles(const QString &output, const TlxOutputOptions &options, int slides) const {
    if (!options.PerSlide())
        return QFile::exists(output) ? QStringList{output} : QStringList();
    QStringList files;
    for (int slide : options.ChosenSlides(slides)) {
        const QString file = TlxOutputOptions::SlidePath(output, slide);
        if (QFile::exists(file))
            files << file;
    }
    return files;
}

// What the deck was drawn with, read from the deck and its files, as a batch run's JSON says it.
void ServiceWorker::describe(ServiceDeck &deck) const {
    const deck::DeckPackage package(deck.source);
    deck.fonts = fonts::FontReport::For(package);
    deck.equations = deck::DeckCopy::EquationPictures(package);
    deck.pictureParts = TlxEmfFile::FilesWithPictureParts(deck.files);
}
