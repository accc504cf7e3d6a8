#pragma once

#include <QString>
#include <QStringList>

// vorlane --serve: the conversion service's life, from its command line to its exit. Listens, starts the
// workers (each its office), answers until SIGTERM or SIGINT; then /health and new requests answer 503 with
// Retry-After, the requests in hand finish within --drain seconds, the listener closes, every office ends and
// the process exits 0. Returns the exit code: 1 when it could not start.
int RunService(const QStringList &args, const QString &version);
