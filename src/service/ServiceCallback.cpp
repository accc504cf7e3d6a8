#include "service/ServiceCallback.h"

#include "service/ServiceReport.h"

#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QThread>
#include <QTimer>

namespace {
constexpr int kTries = 3;
constexpr int kTryMs = 20000; // each try's bound
} // namespace

ServiceCallback::~ServiceCallback() {
    std::lock_guard lock(m_lock);
    for (QThread *t : m_threads) {
        t->wait();
        delete t;
    }
}

QString ServiceCallback::Refusal(const QString &url, const QStringList &allowed) {
    if (allowed.isEmpty())
        return QStringLiteral("callbacks are off (the service names the hosts it may call with --callback-allow)");
    const QUrl u(url, QUrl::StrictMode);
    if (!u.isValid() || (u.scheme() != QLatin1String("http") && u.scheme() != QLatin1String("https")) ||
        u.host().isEmpty())
        return QStringLiteral("the Callback-Url is not an http or https URL");
    if (!allowed.contains(u.host().toLower()))
        return QStringLiteral("the service may not call %1").arg(u.host());
    return QString();
}

void ServiceCallback::Send(const QUrl &url, std::shared_ptr<ServiceJob> job, std::shared_ptr<ServiceUpload> upload,
                           std::atomic<int> &inHand) {
    ++inHand;
    QThread *thread = QThread::create([url, job, upload, &inHand] {
        job->Wait();
        deliver(url, *job, *upload);
        --inHand;
    });
    {
        std::lock_guard lock(m_lock);
        m_threads.push_back(thread);
    }
    thread->start();
}

void ServiceCallback::deliver(const QUrl &url, ServiceJob &job, const ServiceUpload &upload) {
    QByteArray body, type = "application/json";
    int status = 422;
    const QString zip = upload.Dir() + QStringLiteral("/answer.zip");
    if (ServiceReport::AnyConverted(job) && ServiceReport::WriteZip(job, zip)) {
        QFile file(zip);
        if (file.open(QIODevice::ReadOnly))
            body = file.readAll(), type = "application/zip", status = 200;
    }
    if (status != 200)
        body = ServiceReport::Failures(job);
    for (int attempt = 0; attempt < kTries && !post(url, body, type, status); ++attempt)
        QThread::sleep(unsigned(1 << attempt)); // 1 s, 2 s between tries
}

// One POST, bounded; true when the receiver took it (2xx).
bool ServiceCallback::post(const QUrl &url, const QByteArray &body, const QByteArray &type, int status) {
    QNetworkAccessManager manager;
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, type);
    request.setRawHeader("X-Conversion-Status", QByteArray::number(status));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    QNetworkReply *reply = manager.post(request, body);
    QEventLoop loop;
    QTimer::singleShot(kTryMs, &loop, &QEventLoop::quit);
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    const int code = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const bool taken = reply->isFinished() && reply->error() == QNetworkReply::NoError && code >= 200 && code < 300;
    reply->abort();
    delete reply;
    return taken;
}
