#pragma once

#include <QString>
#include <QStringList>

// The running program: its own path and its first command-line parameter.
class TlxApp {
public:
    // Takes the path from the running process and the first parameter from QCoreApplication's arguments (or
    // from argv given explicitly, so that start-up works before any application object exists).
    TlxApp();
    TlxApp(int argc, char **argv);
    // For tests and embedding: the program path and the raw command-line text after the program name.
    TlxApp(const QString &exePath, const QString &commandLineTail);

    QString ExePath;
    QString FirstParam;

    // Splits a command-line text the usual way: blanks separate parameters, double quotes group a parameter
    // and are removed.
    static QStringList SplitCommandLine(const QString &text);
};

// The single application object, created first at start-up and released last.
extern TlxApp *lxApp;
