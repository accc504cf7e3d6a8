#include "project/lxApp.h"

#include "base/lxFileName.h"

#include <QCoreApplication>
#include <QFileInfo>

TlxApp *lxApp = nullptr;

namespace {
QString runningExePath() {
    // /proc/self/exe names the program file even when it was started through a link or a relative path.
    const QString self = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    if (!self.isEmpty())
        return self;
    return QCoreApplication::applicationFilePath();
}
} // namespace

TlxApp::TlxApp() : ExePath(runningExePath()) {
    const QStringList args = QCoreApplication::arguments();
    if (args.size() > 1)
        FirstParam = args.at(1);
}

TlxApp::TlxApp(int argc, char **argv) : ExePath(runningExePath()) {
    // The shell has already split and unquoted the parameters.
    if (argc > 1 && argv[1])
        FirstParam = TlxFileName::Decode(argv[1]); // a folder name in it keeps its bytes
}

TlxApp::TlxApp(const QString &exePath, const QString &commandLineTail) : ExePath(exePath) {
    const QStringList params = SplitCommandLine(commandLineTail);
    if (!params.isEmpty())
        FirstParam = params.first();
}

QStringList TlxApp::SplitCommandLine(const QString &text) {
    QStringList result;
    QString current;
    bool inQuotes = false;
    bool haveParam = false;
    for (const QChar c : text) {
        if (c == u'"') {
            inQuotes = !inQuotes;
            haveParam = true;
        } else if (!inQuotes && (c == u' ' || c == u'\t')) {
            if (haveParam)
                result << current;
            current.clear();
            haveParam = false;
        } else {
            current += c;
            haveParam = true;
        }
    }
    if (haveParam)
        result << current;
    return result;
}
