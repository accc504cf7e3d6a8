#include "service/ServiceHttp.h"

#include "deck/DeckPackage.h"
#include "service/ServiceCallback.h"
#include "service/ServiceJob.h"
#include "service/ServiceMetrics.h"
#include "service/ServicePool.h"
#include "service/ServiceReport.h"
#include "service/ServiceRequest.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <microhttpd.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// A deck whose parts say they unpack to more than this is a zip bomb, not a presentation.
constexpr qint64 kMostUnpacked = qint64(4) << 30;
// By number: the names of these two changed between the library's releases.
constexpr int kTooLarge = 413, kUnprocessable = 422;

MHD_Result onAccess(void *cls, MHD_Connection *c, const char *url, const char *method, const char *, const char *upload,
                    size_t *uploadSize, void **state) {
    return ServiceHttp::Access(cls, c, url, method, upload, uploadSize, state) ? MHD_YES : MHD_NO;
}

void onCompleted(void *cls, MHD_Connection *c, void **state, MHD_RequestTerminationCode why) {
    ServiceHttp::Completed(cls, c, state, int(why));
}

QString header(MHD_Connection *c, const char *name) {
    const char *v = MHD_lookup_connection_value(c, MHD_HEADER_KIND, name);
    return v ? QString::fromUtf8(v) : QString();
}

QByteArray message(const QString &text) {
    return QJsonDocument(QJsonObject{{"error", text}}).toJson(QJsonDocument::Compact);
}
} // namespace

ServiceHttp::ServiceHttp(const ServiceOptions &options, ServicePool &pool, ServiceMetrics &metrics, QString version)
    : m_options(options), m_pool(pool), m_metrics(metrics), m_version(std::move(version)) {}

ServiceHttp::~ServiceHttp() {
    Stop();
}

bool ServiceHttp::Start(QString *error) {
    sockaddr_in6 six{};
    sockaddr_in four{};
    const bool v6 = m_options.listen.contains(u':');
    const QByteArray address = m_options.listen.toLatin1();
    if (v6) {
        six.sin6_family = AF_INET6;
        six.sin6_port = htons(quint16(m_options.port));
        inet_pton(AF_INET6, address.constData(), &six.sin6_addr);
    } else {
        four.sin_family = AF_INET;
        four.sin_port = htons(quint16(m_options.port));
        inet_pton(AF_INET, address.constData(), &four.sin_addr);
    }
    const unsigned flags = MHD_USE_THREAD_PER_CONNECTION | MHD_USE_INTERNAL_POLLING_THREAD | (v6 ? MHD_USE_IPv6 : 0);
    const auto *where = v6 ? reinterpret_cast<const sockaddr *>(&six) : reinterpret_cast<const sockaddr *>(&four);
    m_daemon = MHD_start_daemon(flags, quint16(m_options.port), nullptr, nullptr, &onAccess, this, MHD_OPTION_SOCK_ADDR,
                                where, MHD_OPTION_NOTIFY_COMPLETED, &onCompleted, this, MHD_OPTION_CONNECTION_LIMIT,
                                unsigned(m_options.jobs + m_options.queue + 64), MHD_OPTION_CONNECTION_TIMEOUT, 120u,
                                MHD_OPTION_END);
    if (!m_daemon)
        *error = QStringLiteral("cannot listen on %1 port %2 (taken, or not an address of this machine)")
                     .arg(m_options.listen)
                     .arg(m_options.port);
    return m_daemon != nullptr;
}

void ServiceHttp::Stop() {
    if (m_daemon)
        MHD_stop_daemon(m_daemon);
    m_daemon = nullptr;
}

bool ServiceHttp::Access(void *self, MHD_Connection *c, const char *url, const char *method, const char *upload,
                         std::size_t *uploadSize, void **state) {
    return static_cast<ServiceHttp *>(self)->access(c, QString::fromUtf8(url), QString::fromLatin1(method), upload,
                                                    uploadSize, state) == MHD_YES;
}

void ServiceHttp::Completed(void *self, MHD_Connection *, void **state, int) {
    auto *request = static_cast<ServiceRequest *>(*state);
    if (request) // every request to /convert is in hand from its first call
        --static_cast<ServiceHttp *>(self)->m_inHand;
    delete request; // its upload's folder with it, also when the client went away
    *state = nullptr;
}

int ServiceHttp::access(MHD_Connection *c, const QString &url, const QString &method, const char *upload,
                        std::size_t *uploadSize, void **state) {
    if (!*state)
        return begin(c, url, method, state);
    auto &request = *static_cast<ServiceRequest *>(*state);
    if (request.answered) {
        *uploadSize = 0; // refused already: the rest of the body is passed over
        return MHD_YES;
    }
    if (*uploadSize > 0) {
        request.Feed(upload, *uploadSize);
        *uploadSize = 0;
        return MHD_YES;
    }
    return convert(c, request);
}

int ServiceHttp::begin(MHD_Connection *c, const QString &url, const QString &method, void **state) {
    if (url == QLatin1String("/health"))
        return health(c);
    if (!authorised(c))
        return answer(c, MHD_HTTP_UNAUTHORIZED, message(QStringLiteral("a bearer token is needed")),
                      "application/json");
    if (url == QLatin1String("/version"))
        return answer(c, MHD_HTTP_OK,
                      QJsonDocument(QJsonObject{{"name", "Quillon Converter"}, {"version", m_version}})
                          .toJson(QJsonDocument::Compact),
                      "application/json");
    if (url == QLatin1String("/metrics")) {
        const ServicePool::Counts n = m_pool.Snapshot();
        return answer(c, MHD_HTTP_OK, m_metrics.Text(n.waiting, n.busy, n.ready).toUtf8(), "text/plain; version=0.0.4");
    }
    if (url != QLatin1String("/convert"))
        return answer(c, MHD_HTTP_NOT_FOUND, message(QStringLiteral("no such route")), "application/json");
    if (method != QLatin1String("POST"))
        return answer(c, MHD_HTTP_METHOD_NOT_ALLOWED, message(QStringLiteral("POST a form")), "application/json");
    auto *request = new ServiceRequest(c, m_options.maxUpload);
    *state = request;
    ++m_inHand;
    bool ok = false;
    const qint64 length = header(c, MHD_HTTP_HEADER_CONTENT_LENGTH).toLongLong(&ok);
    int refused = 0;
    QString why;
    if (m_draining.load())
        refused = MHD_HTTP_SERVICE_UNAVAILABLE, why = QStringLiteral("the service is stopping");
    else if (ok && length > m_options.maxUpload)
        refused = kTooLarge, why = QStringLiteral("the upload is larger than %1 MB").arg(m_options.maxUpload >> 20);
    else if (!request->Upload().Ready())
        refused = MHD_HTTP_INTERNAL_SERVER_ERROR, why = QStringLiteral("no room for the upload");
    else if (!request->parsed)
        refused = MHD_HTTP_BAD_REQUEST, why = request->Upload().Error;
    if (!refused)
        return MHD_YES;
    request->answered = true;
    return answer(c, refused, message(why), "application/json", refused == MHD_HTTP_SERVICE_UNAVAILABLE);
}

int ServiceHttp::convert(MHD_Connection *c, ServiceRequest &request) {
    request.answered = true;
    ServiceUpload &upload = request.Upload();
    if (upload.TooLarge())
        return answer(c, kTooLarge,
                      message(QStringLiteral("the upload is larger than %1 MB").arg(m_options.maxUpload >> 20)),
                      "application/json");
    QString why = upload.Finish();
    if (why.isEmpty() && !request.parsed)
        why = QStringLiteral("the form cannot be read");
    auto job = std::make_shared<ServiceJob>();
    try {
        job->options = TlxOutputOptions::Parse(upload.FieldValue("format"), upload.FieldValue("slides"),
                                               upload.FieldValue("imageResolution"), upload.FieldValue("pngWidth"));
    } catch (const std::exception &e) {
        why = why.isEmpty() ? QString::fromUtf8(e.what()) : why;
    }
    for (std::size_t k = 0; why.isEmpty() && k < upload.Decks().size(); ++k) {
        const ServiceUpload::Deck &d = upload.Decks()[k];
        if (deck::DeckPackage(d.path).UnpackedSize() > kMostUnpacked)
            why = QStringLiteral("\"%1%2\" unpacks to more than 4 GB: not a presentation").arg(d.name, d.extension);
        const QString out = upload.Dir() + QStringLiteral("/out/%1").arg(k + 1);
        QDir().mkpath(out);
        ServiceDeck deck;
        deck.name = d.name;
        deck.shownAs = d.name + d.extension;
        deck.source = d.path;
        deck.outputDir = out;
        job->decks.append(deck);
    }
    if (!why.isEmpty())
        return answer(c, MHD_HTTP_BAD_REQUEST, message(why), "application/json");
    const QString callback = header(c, "Callback-Url");
    const QString refusal =
        callback.isEmpty() ? QString() : ServiceCallback::Refusal(callback, m_options.callbackAllow);
    if (!refusal.isEmpty())
        return answer(c, MHD_HTTP_FORBIDDEN, message(refusal), "application/json");
    return submit(c, request, job, callback);
}

int ServiceHttp::submit(MHD_Connection *c, ServiceRequest &request, const std::shared_ptr<ServiceJob> &job,
                        const QString &callback) {
    switch (m_pool.Submit(job)) {
    case ServicePool::Submitted::Full:
        return answer(c, MHD_HTTP_TOO_MANY_REQUESTS, message(QStringLiteral("every worker is busy and the queue full")),
                      "application/json", true);
    case ServicePool::Submitted::Stopping:
        return answer(c, MHD_HTTP_SERVICE_UNAVAILABLE, message(QStringLiteral("the service is stopping")),
                      "application/json", true);
    case ServicePool::Submitted::Accepted:
        break;
    }
    if (!callback.isEmpty()) {
        m_callbacks.Send(QUrl(callback), job, request.SharedUpload(), m_inHand);
        return answer(
            c, MHD_HTTP_ACCEPTED,
            QJsonDocument(QJsonObject{{"accepted", true}, {"callback", callback}}).toJson(QJsonDocument::Compact),
            "application/json");
    }
    if (!job->Wait())
        return answer(c, MHD_HTTP_SERVICE_UNAVAILABLE, message(QStringLiteral("the service is stopping")),
                      "application/json", true);
    if (!ServiceReport::AnyConverted(*job))
        return answer(c, kUnprocessable, ServiceReport::Failures(*job), "application/json");
    const QString zip = request.Upload().Dir() + QStringLiteral("/answer.zip");
    if (!ServiceReport::WriteZip(*job, zip))
        return answer(c, MHD_HTTP_INTERNAL_SERVER_ERROR, message(QStringLiteral("the answer cannot be written")),
                      "application/json");
    return answerFile(c, zip);
}

int ServiceHttp::health(MHD_Connection *c) {
    const ServicePool::Counts n = m_pool.Snapshot();
    QJsonArray workers;
    for (const QString &s : n.states)
        workers.append(s);
    const bool draining = m_draining.load();
    const bool able = n.ready > 0 && !draining;
    const QJsonObject o{{"status", draining ? "stopping"
                                   : able   ? "ok"
                                            : "unavailable"},
                        {"workers", workers},
                        {"queue", n.waiting}};
    return answer(c, able ? MHD_HTTP_OK : MHD_HTTP_SERVICE_UNAVAILABLE, QJsonDocument(o).toJson(QJsonDocument::Compact),
                  "application/json", !able);
}

bool ServiceHttp::authorised(MHD_Connection *c) const {
    if (m_options.token.isEmpty())
        return true;
    const QByteArray given = header(c, MHD_HTTP_HEADER_AUTHORIZATION).toUtf8();
    const QByteArray wanted = "Bearer " + m_options.token.toUtf8();
    // Compared in constant time: how long a refusal takes says nothing of how much of the token was right.
    unsigned char differ = given.size() == wanted.size() ? 0 : 1;
    for (qsizetype i = 0; i < wanted.size(); ++i)
        differ |= (i < given.size() ? given[i] : 0) ^ wanted[i];
    return differ == 0;
}

int ServiceHttp::answer(MHD_Connection *c, int status, const QByteArray &body, const char *type, bool retryAfter) {
    MHD_Response *r = MHD_create_response_from_buffer(size_t(body.size()), const_cast<char *>(body.constData()),
                                                      MHD_RESPMEM_MUST_COPY);
    MHD_add_response_header(r, MHD_HTTP_HEADER_CONTENT_TYPE, type);
    if (retryAfter)
        MHD_add_response_header(r, MHD_HTTP_HEADER_RETRY_AFTER, "5");
    const MHD_Result queued = MHD_queue_response(c, unsigned(status), r);
    MHD_destroy_response(r);
    m_metrics.Request(status);
    return queued;
}

int ServiceHttp::answerFile(MHD_Connection *c, const QString &path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || fstat(fd, &st) != 0) {
        if (fd >= 0)
            ::close(fd);
        return answer(c, MHD_HTTP_INTERNAL_SERVER_ERROR, message(QStringLiteral("the answer cannot be read")),
                      "application/json");
    }
    // Sent from the file: the answer is not held in memory; the file goes with the request's folder.
    MHD_Response *r = MHD_create_response_from_fd(size_t(st.st_size), fd);
    MHD_add_response_header(r, MHD_HTTP_HEADER_CONTENT_TYPE, "application/zip");
    MHD_add_response_header(r, MHD_HTTP_HEADER_CONTENT_DISPOSITION, "attachment; filename=\"slides.zip\"");
    const MHD_Result queued = MHD_queue_response(c, MHD_HTTP_OK, r);
    MHD_destroy_response(r);
    m_metrics.Request(MHD_HTTP_OK);
    return queued;
}
