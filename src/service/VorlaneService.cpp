#include "service/VorlaneService.h"

#include "service/ServiceHttp.h"
#include "service/ServiceMetrics.h"
#include "service/ServiceOptions.h"
#include "service/ServicePool.h"

#include <QElapsedTimer>
#include <QThread>

#include <csignal>
#include <cstdio>
#include <pthread.h>

namespace {
void print(FILE *stream, const QString &text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

// Waits for SIGTERM or SIGINT, which every thread of the service leaves to this one.
int waitForSignal(const sigset_t &stopSignals) {
    int received = 0;
    sigwait(&stopSignals, &received);
    return received;
}

void drain(ServiceHttp &http, int seconds) {
    http.Drain();
    QElapsedTimer waited;
    waited.start();
    while (http.InHand() > 0 && waited.elapsed() < qint64(seconds) * 1000)
        QThread::msleep(50);
}
} // namespace

int RunService(const QStringList &args, const QString &version) {
    ServiceOptions options;
    QString error;
    if (!options.Parse(args, &error)) {
        print(stderr, QStringLiteral("vorlane --serve: %1\n").arg(error));
        return 1;
    }
    if (options.help) {
        print(stdout, ServiceOptions::UsageText());
        return 0;
    }
    // Blocked before any thread starts, so that every thread inherits the mask and the stopSignals come to sigwait.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN); // a client gone mid-answer is an error of that request, not the end
    ServiceMetrics metrics;
    ServicePool pool(options.jobs, options.queue, options.timeoutSeconds, metrics);
    ServiceHttp http(options, pool, metrics, version);
    if (!http.Start(&error)) {
        print(stderr, QStringLiteral("vorlane --serve: %1\n").arg(error));
        return 1;
    }
    pool.Start();
    print(stdout, QStringLiteral("vorlane %1 serving on http://%2:%3 with %4 workers\n")
                      .arg(version, options.listen.contains(u':') ? u'[' + options.listen + u']' : options.listen)
                      .arg(options.port)
                      .arg(options.jobs));
    const int received = waitForSignal(stopSignals);
    print(stdout, QStringLiteral("vorlane --serve: %1, finishing the requests in hand\n")
                      .arg(received == SIGTERM ? QStringLiteral("SIGTERM") : QStringLiteral("SIGINT")));
    drain(http, options.drainSeconds);
    pool.Close(); // requests still waiting answer 503
    http.Stop();
    pool.Stop(); // every office ends, each on its worker's thread
    print(stdout, QStringLiteral("vorlane --serve: stopped\n"));
    return 0;
}
