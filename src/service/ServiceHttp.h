#pragma once

#include "service/ServiceCallback.h"
#include "service/ServiceOptions.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <memory>

struct MHD_Daemon;
struct MHD_Connection;
class ServicePool;
class ServiceMetrics;
class ServiceRequest;
class ServiceJob;

// The service's HTTP side, on GNU libmicrohttpd: a thread for each connection (a request waits for its
// conversion in its own), uploads streamed to disk by the library's multipart parser and refused by their
// Content-Length before they are read, and the routes /convert, /health, /metrics and /version.
class ServiceHttp {
public:
    ServiceHttp(const ServiceOptions &options, ServicePool &pool, ServiceMetrics &metrics, QString version);
    ~ServiceHttp();
    // Listens; false with error set when the address cannot be taken.
    bool Start(QString *error);
    // From now on /health and new requests answer 503 with Retry-After; the requests in hand go on.
    void Drain() { m_draining.store(true); }
    // Requests to /convert being received or converted.
    int InHand() const { return m_inHand.load(); }
    // Closes the listener and ends every connection.
    void Stop();

    // libmicrohttpd's calls, which hand over to the members.
    static bool Access(void *self, MHD_Connection *c, const char *url, const char *method, const char *upload,
                       std::size_t *uploadSize, void **state);
    static void Completed(void *self, MHD_Connection *c, void **state, int why);

private:
    int access(MHD_Connection *c, const QString &url, const QString &method, const char *upload,
               std::size_t *uploadSize, void **state);
    int begin(MHD_Connection *c, const QString &url, const QString &method, void **state);
    int convert(MHD_Connection *c, ServiceRequest &request);
    int submit(MHD_Connection *c, ServiceRequest &request, const std::shared_ptr<ServiceJob> &job,
               const QString &callback);
    int health(MHD_Connection *c);
    bool authorised(MHD_Connection *c) const;
    int answer(MHD_Connection *c, int status, const QByteArray &body, const char *type, bool retryAfter = false);
    int answerFile(MHD_Connection *c, const QString &path);

    const ServiceOptions m_options;
    ServicePool &m_pool;
    ServiceMetrics &m_metrics;
    const QString m_version;
    MHD_Daemon *m_daemon = nullptr;
    std::atomic<bool> m_draining{false};
    std::atomic<int> m_inHand{0};
    ServiceCallback m_callbacks; // last: its threads are waited for first
};
