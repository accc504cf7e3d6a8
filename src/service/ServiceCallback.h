#pragma once

#include "service/ServiceJob.h"
#include "service/ServiceUpload.h"

#include <QString>
#include <QUrl>

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

class QThread;

// Answers given later: a request with a Callback-Url is answered 202 at once, and when its decks are converted the
// ZIP (or, when every deck failed, the reasons) is POSTed to that URL, tried a few times, each try bounded. Only
// the hosts the service was started with (--callback-allow) may be called: a client must not make the server call
// into its own network. Each callback keeps its request's folder until it is done.
class ServiceCallback {
public:
    ~ServiceCallback(); // waits for the callbacks under way
    // Why url may not be called ("callbacks are off", "host x is not allowed"), or empty.
    static QString Refusal(const QString &url, const QStringList &allowed);
    // Sends job's answer to url once it is done, on a thread of its own; inHand counts it while it lasts.
    void Send(const QUrl &url, std::shared_ptr<ServiceJob> job, std::shared_ptr<ServiceUpload> upload,
              std::atomic<int> &inHand);

private:
    static void deliver(const QUrl &url, ServiceJob &job, const ServiceUpload &upload);
    static bool post(const QUrl &url, const QByteArray &body, const QByteArray &type, int status);

    std::mutex m_lock;
    std::vector<QThread *> m_threads;
};
