#include "service/ServiceOptions.h"

#include <QFile>
#include <QHostAddress>

namespace {
bool number(const QString &value, int least, int most, int *out) {
    bool ok = false;
    const int n = value.toInt(&ok);
    if (!ok || n < least || n > most)
        return false;
    *out = n;
    return true;
}

const QStringList kTakesValue = {"--port",       "--listen",  "--jobs",  "--queue",
                                 "--max-upload", "--timeout", "--drain", "--token"};
} // namespace

bool ServiceOptions::Parse(const QStringList &args, QString *error) {
    for (qsizetype i = 0; i < args.size(); ++i) {
        QString name = args.at(i), value;
        if (name == QLatin1String("--serve"))
            continue;
        if (name == QLatin1String("--help") || name == QLatin1String("-h")) {
            help = true;
            continue;
        }
        const qsizetype eq = name.indexOf(u'=');
        if (eq > 0) {
            value = name.mid(eq + 1);
            name = name.left(eq);
        } else if (kTakesValue.contains(name)) {
            if (i + 1 >= args.size()) {
                *error = QStringLiteral("%1: a value is missing").arg(name);
                return false;
            }
            value = args.at(++i);
        }
        if (!kTakesValue.contains(name)) {
            *error = QStringLiteral("%1: not an option of the service (vorlane --serve --help lists them)").arg(name);
            return false;
        }
        if (!take(name, value, error))
            return false;
    }
    return true;
}

bool ServiceOptions::take(const QString &name, const QString &value, QString *error) {
    int n = 0;
    bool ok = true;
    if (name == QLatin1String("--port"))
        ok = number(value, 1, 65535, &port);
    else if (name == QLatin1String("--jobs"))
        ok = number(value, 1, 64, &jobs);
    else if (name == QLatin1String("--queue"))
        ok = number(value, 0, 100000, &queue);
    else if (name == QLatin1String("--timeout"))
        ok = number(value, 0, 86400, &timeoutSeconds);
    else if (name == QLatin1String("--drain"))
        ok = number(value, 0, 86400, &drainSeconds);
    else if (name == QLatin1String("--max-upload") && (ok = number(value, 1, 1 << 20, &n)))
        maxUpload = qint64(n) << 20;
    else if (name == QLatin1String("--listen") && (ok = !QHostAddress(value).isNull()))
        listen = value;
    if (!ok) {
        *error = QStringLiteral("%1: \"%2\" is not a %3")
                     .arg(name, value,
                          name == QLatin1String("--listen") ? QStringLiteral("numeric IPv4 or IPv6 address")
                                                            : QStringLiteral("number in range"));
        return false;
    }
    if (name == QLatin1String("--callback-allow"))
        callbackAllow = value.toLower().split(u',', Qt::SkipEmptyParts);
    if (name == QLatin1String("--token")) {
        QFile file(value);
        token = file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.read(4096)).trimmed() : QString();
        if (token.isEmpty()) {
            *error = QStringLiteral("--token: \"%1\" cannot be read or holds no token").arg(value);
            return false;
        }
    }
    return true;
}

QString ServiceOptions::UsageText() {
    return QStringLiteral(
        "Usage: vorlane --serve [OPTIONS]\n"
        "Converts presentations sent over HTTP, with long-lived workers that each keep their own office.\n\n"
        "Options:\n"
        "      --port N            the port to listen on (3000)\n"
        "      --listen ADDRESS    the address to listen on (127.0.0.1; 0.0.0.0 for every interface)\n"
        "      --jobs N            converter workers, each with its own office (2)\n"
        "      --queue N           requests that may wait for a worker; more are answered 429 (16)\n"
        "      --max-upload MB     the largest request body; larger ones are answered 413 (100)\n"
        "      --timeout SECONDS   a deck taking longer fails and its office is replaced (120; 0 = no limit)\n"
        "      --drain SECONDS     on SIGTERM, how long the requests in hand may still take (30)\n"
        "      --token FILE        every route but /health needs \"Authorization: Bearer TOKEN\", TOKEN from FILE\n"
        "      --callback-allow HOST,...  the hosts a Callback-Url header may name (none: callbacks are off)\n\n"
        "Routes:\n"
        "  POST /convert   multipart/form-data: parts named \"files\" (.ppt .pptx .pptm .pps .ppsx .pot .potx .odp),\n"
        "                  optional fields format (emf emz svg png pdf), slides, imageResolution, pngWidth;\n"
        "                  answers a ZIP of the slides and report.json; with a Callback-Url header, 202 at once\n"
        "                  and the ZIP POSTed there when done\n"
        "  GET /health     200 while an office can convert, 503 otherwise\n"
        "  GET /metrics    Prometheus text\n"
        "  GET /version    the program's version\n\n"
        "Example:\n"
        "  curl -F files=@deck.pptx -F format=emf http://127.0.0.1:3000/convert -o slides.zip\n");
}
