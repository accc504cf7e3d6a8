#include "project/lxCommandLine.h"

#include "base/lxError.h"
#include "base/lxOutputOptions.h"
#include "engine/lxShard.h"

namespace {
// Options that are not project settings: handled by the parser itself.
constexpr const char *kProject = "--project";
constexpr const char *kJson = "--json";
constexpr const char *kQuiet = "--quiet";
constexpr const char *kHelp = "--help";
constexpr const char *kVersion = "--version";

bool isNumber(const QString &text, int min) {
    bool ok = false;
    const int n = text.toInt(&ok);
    return ok && n >= min;
}
} // namespace

const QList<TlxCommandLine::Option> &TlxCommandLine::Options() {
    static const QList<Option> options = {
        {"--target", 'o', "Target", "%", "DIR", "where the output files go (made when missing)"},
        {"--format", 'f', "Format", "%", "FORMAT", "emf (default), emz, svg, png (a file a slide) or pdf (one a deck)"},
        {"--slides", 0, "Slides", "%", "LIST", "which slides, e.g. 1 or 2-4 or 1,3,5- (all)"},
        {"--jobs", 'j', "ThreadsCount", "%", "N", "converter workers, each with its own office (1)"},
        {"--recursive", 'r', "Subdir", "True", nullptr, "search the sub-folders of folder sources too"},
        {"--mask", 0, "Mask", "%", "MASK", "the file names a folder source takes (*.ppt?)"},
        {"--regex", 0, "RegExt", "%", "REGEX", "take only files whose path also matches this expression"},
        {"--image-resolution", 0, "ImageResolution", "%", "PPI", "resample finer pictures down to this; 0 keeps (220)"},
        {"--png-width", 0, "PngWidth", "%", "PIXELS", "the width of a slide written as PNG (1920)"},
        {"--overwrite", 0, "IsOverwrite", "True", nullptr, "replace existing outputs (the default)"},
        {"--keep", 0, "IsOverwrite", "False", nullptr, "keep existing outputs, write under a new name"},
        {"--skip", 0, "IsOverwrite", "skip", nullptr, "skip files whose output exists"},
        {"--newer", 0, "IsOverwrite", "newer", nullptr, "convert only files newer than their output, or without one"},
        {"--flat", 0, "KeepTargetSubdirs", "False", nullptr, "all outputs in the target itself, no sub-folders"},
        {"--keep-time", 0, "KeepFileTime", "True", nullptr, "give outputs the time of their source"},
        {"--delete-source", 0, "DeleteSource", "True", nullptr, "delete each source once it is converted"},
        {"--rename-source", 0, "RenameSource", "%", "SUFFIX", "rename each converted source, adding SUFFIX"},
        {"--timeout", 0, "Timeout", "%", "SECONDS", "a file taking longer fails (120; 0 = no limit)"},
        {"--shard", 0, "Shard", "%", "K/N", "take only share K of N of the files"},
        {"--log", 0, "LogFile", "%", "FILE", "write the run's log to FILE"},
        {kProject, 'p', nullptr, "%", "FILE", "a project file as the base, the options given here on top"},
        {kJson, 0, nullptr, nullptr, nullptr, "one JSON object a file on stdout, and a summary"},
        {kQuiet, 'q', nullptr, nullptr, nullptr, "no line per file, only the summary"},
        {kHelp, 'h', nullptr, nullptr, nullptr, "print this text and end"},
        {kVersion, 0, nullptr, nullptr, nullptr, "print the version and end"},
    };
    return options;
}

bool TlxCommandLine::IsNewForm(const QStringList &args) {
    for (const QString &arg : args) {
        if (arg.startsWith(QLatin1String("--")) && arg != QLatin1String(kHelp) && arg != QLatin1String(kVersion))
            return true;
        // A short option of this form; "-P:", "-I" and "-U" (either case) stay the older switches.
        if (arg.size() >= 2 && arg.at(0) == u'-' && arg.at(1) != u'-') {
            const QChar letter = arg.at(1);
            if (QStringLiteral("PpIiUu").contains(letter) && !(letter == u'p' && arg.size() == 2))
                continue;
            for (const Option &o : Options())
                if (o.shortName && letter == QLatin1Char(o.shortName))
                    return true;
        }
    }
    return false;
}

const TlxCommandLine::Option *TlxCommandLine::find(const QString &name) {
    for (const Option &o : Options()) {
        if (name.startsWith(QLatin1String("--"))
                ? name == QLatin1String(o.longName)
                : (o.shortName && name.size() == 2 && name.at(1) == QLatin1Char(o.shortName)))
            return &o;
    }
    return nullptr;
}

bool TlxCommandLine::take(const Option &option, const QString &name, const QString &value) {
    const QString longName = QLatin1String(option.longName);
    if (longName == QLatin1String(kProject)) {
        Project = value;
        return true;
    }
    if (longName == QLatin1String(kJson))
        return Json = true;
    if (longName == QLatin1String(kQuiet))
        return Quiet = true;
    if (longName == QLatin1String(kHelp))
        return Help = true;
    if (longName == QLatin1String(kVersion))
        return Version = true;
    const QString key = QLatin1String(option.key);
    const QString setting = QLatin1String(option.value) == QLatin1String("%") ? value : QLatin1String(option.value);
    // Values are checked here, so that a typing error ends the run before its first file.
    QString bad;
    if (key == QLatin1String("ThreadsCount") && !isNumber(value, 1))
        bad = QStringLiteral("is not a number of workers (1 or more)");
    else if ((key == QLatin1String("Timeout") || key == QLatin1String("ImageResolution")) && !isNumber(value, 0))
        bad = QStringLiteral("is not a number (0 or more)");
    else if (key == QLatin1String("PngWidth") && !isNumber(value, 1))
        bad = QStringLiteral("is not a width in pixels");
    else if ((key == QLatin1String("Target") || key == QLatin1String("Mask") || key == QLatin1String("LogFile") ||
              key == QLatin1String("RenameSource")) &&
             value.isEmpty())
        bad = QStringLiteral("is empty");
    try {
        if (key == QLatin1String("Format"))
            TlxOutputOptions::Parse(value, {}, {}, {});
        else if (key == QLatin1String("Slides"))
            TlxOutputOptions::Parse({}, value, {}, {});
        else if (key == QLatin1String("Shard") && TlxShard::Parse(value).IsAll() && value.trimmed() != u"1/1")
            bad = QStringLiteral("is not a share K/N");
    } catch (const ElxError &e) {
        bad = e.Message();
    }
    if (!bad.isEmpty()) {
        Error = QStringLiteral("%1: \"%2\" %3").arg(name, value, bad);
        return false;
    }
    if (key == QLatin1String("Mask"))
        Mask = value;
    else
        Settings << key + u'=' + setting;
    return true;
}

bool TlxCommandLine::takeBundled(const Option &first, const QString &name, const QString &rest) {
    // Bundled flags: "-rq" is "-r -q".
    if (!take(first, name, QString()))
        return false;
    for (const QChar c : rest) {
        const QString flag = QStringLiteral("-") + c;
        const Option *next = find(flag);
        if (!next || next->argument) {
            Error = QStringLiteral("%1: %2").arg(flag, next ? QStringLiteral("needs a value of its own")
                                                            : QStringLiteral("unknown option (see --help)"));
            return false;
        }
        if (!take(*next, flag, QString()))
            return false;
    }
    return true;
}

bool TlxCommandLine::Parse(const QStringList &args) {
    bool optionsEnd = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        if (optionsEnd || arg == u"-" || !arg.startsWith(u'-')) {
            Sources << arg;
            continue;
        }
        if (arg == u"--") {
            optionsEnd = true;
            continue;
        }
        // "--name", "--name=value", "-x", "-xVALUE", "-abc" (flags bundled).
        const bool isLong = arg.startsWith(QLatin1String("--"));
        QString name = isLong ? arg.section(u'=', 0, 0) : arg.left(2);
        QString value;
        bool hasValue = false;
        if (isLong && arg.contains(u'=')) {
            value = arg.section(u'=', 1);
            hasValue = true;
        } else if (!isLong && arg.size() > 2) {
            value = arg.mid(2);
            hasValue = true;
        }
        const Option *option = find(name);
        if (!option) {
            Error = QStringLiteral("%1: unknown option (see --help)").arg(name);
            return false;
        }
        if (!option->argument && hasValue) {
            if (isLong) {
                Error = QStringLiteral("%1: takes no value").arg(name);
                return false;
            }
            if (!takeBundled(*option, name, value))
                return false;
            continue;
        }
        if (option->argument && !hasValue) {
            if (i + 1 >= args.size()) {
                Error = QStringLiteral("%1: needs a value (%2)").arg(name, QLatin1String(option->argument));
                return false;
            }
            value = args.at(++i);
        }
        if (!take(*option, name, value))
            return false;
    }
    return true;
}

QString TlxCommandLine::UsageText() {
    QString text = QStringLiteral("Usage: vorlane [OPTIONS] -o TARGET SOURCE...\n"
                                  "Converts each SOURCE (a presentation, a folder searched with the mask, or "
                                  "FOLDER/MASK) into TARGET,\nwithout a window.\n\nOptions:\n");
    for (const Option &o : Options()) {
        QString names = o.shortName ? QStringLiteral("-%1, ").arg(QLatin1Char(o.shortName)) : QStringLiteral("    ");
        names += QLatin1String(o.longName);
        if (o.argument)
            names += u' ' + QLatin1String(o.argument);
        text += QStringLiteral("  %1  %2\n").arg(names, -30).arg(QLatin1String(o.help));
    }
    text += QStringLiteral(
        "\nThe exit code is 0 when every file was converted or skipped, 2 when the run ended and a file failed,\n"
        "1 when it could not run. On a terminal a status line shows how far the run has got.\n"
        "\nvorlane --serve [OPTIONS] runs the conversion service over HTTP instead (vorlane --serve --help).\n"
        "\nExamples:\n"
        "  vorlane -f svg -j 2 -r -o out/ decks/ extra/talk.pptx\n"
        "  vorlane --newer -r -o /data/emf /data/decks\n"
        "  vorlane --json -o out/ talk.pptx > run.jsonl\n");
    return text;
}

QString TlxCommandLine::CompletionWords() {
    QStringList words;
    for (const Option &o : Options()) {
        words << QLatin1String(o.longName);
        if (o.shortName)
            words << QStringLiteral("-%1").arg(QLatin1Char(o.shortName));
    }
    return words.join(u'\n') + u'\n';
}
