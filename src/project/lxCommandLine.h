#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The command line in the form shell users know: options, a target and any number of sources,
//   vorlane [OPTIONS] -o TARGET SOURCE...
// where a SOURCE is a presentation, a folder (searched with the mask) or FOLDER/MASK. Every option maps to a
// project option, from one table, so that the parser, the usage text, the man page and the shell completion
// say the same. The older forms (-P:, -I, -U, a project file, one presentation) are told apart by IsNewForm.
class TlxCommandLine {
public:
    // One option: its long and short name, the project key it sets and the value it sets there (a value of
    // "%" takes the argument), how its argument is named in the usage text, and what it does.
    struct Option {
        const char *longName;
        char shortName; // 0: none
        const char *key;
        const char *value;
        const char *argument; // null: takes no argument
        const char *help;
    };
    static const QList<Option> &Options();

    // Whether the arguments (without the program name) use this form: some argument is one of its options.
    static bool IsNewForm(const QStringList &args);

    // Reads the arguments; false with Error set ("--jobs: \"x\" is not a number") when they are not understood.
    bool Parse(const QStringList &args);

    QString Error;
    QStringList Settings; // "Key=Value" lines, in the order given
    QStringList Sources;
    QString Project; // --project: the base the settings are laid over
    QString Mask;    // --mask: the names a folder source takes; empty for the project's own
    bool Json = false;
    bool Quiet = false;
    bool Help = false;
    bool Version = false;

    // The usage text of this form, from the table.
    static QString UsageText();
    // Every option name, one a line, for the shell completion.
    static QString CompletionWords();

private:
    static const Option *find(const QString &name);
    bool take(const Option &option, const QString &name, const QString &value);
    // The first flag of a bundle ("-rq") and each flag that follows it in rest.
    bool takeBundled(const Option &first, const QString &name, const QString &rest);
};
