#pragma once

#include <QString>
#include <QStringList>

// How the conversion service runs, from its command line:
//   vorlane --serve [--port N] [--listen ADDRESS] [--jobs N] [--queue N] [--max-upload MB] [--timeout SECONDS]
//                   [--drain SECONDS] [--token FILE] [--callback-allow HOST,...]
class ServiceOptions {
public:
    QString listen = QStringLiteral("127.0.0.1");
    int port = 3000;
    int jobs = 2;                         // converter workers, each with its own office
    int queue = 16;                       // requests that may wait for a worker; one more is answered 429
    qint64 maxUpload = qint64(100) << 20; // bytes of one request's body
    int timeoutSeconds = 120;             // a deck taking longer fails; the queue wait does not count
    int drainSeconds = 30;                // on SIGTERM, how long requests in hand may still take
    QString token;                        // when set, every route but /health needs "Authorization: Bearer" with it
    QStringList callbackAllow;            // the hosts a Callback-Url may name; none: callbacks are off

    // Reads the arguments after --serve; false with error set ("--port: \"x\" is not a number") when they are
    // not understood, or when the token file cannot be read or is empty.
    bool Parse(const QStringList &args, QString *error);
    bool help = false;

    static QString UsageText();

private:
    bool take(const QString &name, const QString &value, QString *error);
};
