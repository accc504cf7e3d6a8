#include "project/lxStartup.h"

#include "base/lxFileName.h"
#include "engine/lxMatch.h"
#include "engine/lxVORLANE.h"
#include "info/lxInfo.h"
#include "project/lxApp.h"
#include "project/lxCommandLine.h"
#include "project/lxMain.h"
#include "project/lxProject.h"

#include <QCoreApplication>

#include <cstdio>
#include <exception>
#include <unistd.h>

void InitConverterProfile(TlxProject &project) {
    project.ConverterClass = TlxVORLANE::Class();
    project.SourceMask = QStringLiteral("*.ppt?");
    project.SourceFilter = QStringLiteral("PowerPoint Workbook (*.ppt;*.pptx)|*.ppt;*.pptx");
    project.TargetExt = QStringLiteral(".emf");
    project.ShortName = QStringLiteral("vorlane");
    project.ProjectExt = QStringLiteral(".batch-") + project.ShortName;
    project.ProjectFilter = QStringLiteral("Quillon Project|*") + project.ProjectExt;
    project.Title = QStringLiteral("Quillon Converter");
    QCoreApplication::setApplicationName(project.Title);
    TlxMatchBase::SkipOwnerFiles = true;
    project.Version = QStringLiteral("2018.10.222.1802");
}

bool StartUp(int argc, char **argv) {
    lxApp = new TlxApp(argc, argv);
    lxInfo = new TlxInfo();
    lxProject = new TlxProject();
    lxMain = new TlxMain();
    InitConverterProfile(*lxProject);
    if (!lxProject->ReadCommandLine())
        return false;
    Matcher = new TlxMatch();
    return true;
}

void ShutDown() {
    delete Matcher;
    Matcher = nullptr;
    delete lxMain;
    lxMain = nullptr;
    delete lxProject;
    lxProject = nullptr;
    delete lxInfo;
    lxInfo = nullptr;
    delete lxApp;
    lxApp = nullptr;
}

bool WantsConsoleRun() {
    return lxProject && lxProject->PureConsole() && !lxProject->Source().contains(QStringLiteral("http"));
}

int RunConsoleProgram(bool echoToStdout) {
    lxMain->EchoToStdout = echoToStdout;
    lxMain->EchoCount = echoToStdout && isatty(STDOUT_FILENO);
    try {
        lxMain->RunConsole();
    } catch (const std::exception &error) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(lxProject->ShortName), error.what());
        return 1;
    }
    return 0;
}

namespace {
// A source as the command line names it, made into what the search takes: a folder gets the mask, a file or
// FOLDER/MASK stays. Empty, with error set, when there is no such file or folder.
QString searchSource(const QString &arg, const QString &mask, QString *error) {
    QString path = TlxFileName::Absolute(arg);
    if (TlxFileName::IsDir(path)) {
        while (path.size() > 1 && path.endsWith(u'/'))
            path.chop(1);
        return (path == u"/" ? path : path + u'/') + mask;
    }
    if (TlxFileName::IsFile(path))
        return path;
    const QString name = path.mid(path.lastIndexOf(u'/') + 1);
    if ((name.contains(u'*') || name.contains(u'?')) && TlxFileName::IsDir(path.left(path.lastIndexOf(u'/') + 1)))
        return path;
    *error = QStringLiteral("%1: no such file or folder").arg(TlxFileName::Display(arg));
    return QString();
}

int fail(const QString &message) {
    std::fprintf(stderr, "vorlane: %s\n", qPrintable(message));
    return 1;
}

// Lays the command line's options over the project it names (or an empty one) and makes the sources ready.
QString prepareRun(const TlxCommandLine &line, QStringList *sources) {
    if (!line.Project.isEmpty()) {
        if (!TlxFileName::IsFile(line.Project))
            return QStringLiteral("--project: %1: no such file").arg(TlxFileName::Display(line.Project));
        lxProject->FileName = line.Project;
        lxProject->OpenProject(false);
    } else {
        lxProject->SetOptions({});
    }
    // Paths are taken from where the command was given, not from wherever a worker happens to be.
    for (const QString &setting : line.Settings) {
        const QString key = setting.section(u'=', 0, 0);
        const QString value = setting.section(u'=', 1);
        const bool path = key == QLatin1String("Target") || key == QLatin1String("LogFile");
        lxProject->SetOption(key, path ? TlxFileName::Absolute(value) : value);
    }
    lxProject->SetOption(QStringLiteral("PureConsole"), QStringLiteral("True"));
    const QString mask = line.Mask.isEmpty() ? lxProject->SourceMask : line.Mask;
    for (const QString &arg : line.Sources) {
        QString error;
        const QString source = searchSource(arg, mask, &error);
        if (source.isEmpty())
            return error;
        *sources << source;
    }
    if (sources->isEmpty() && lxProject->Source().isEmpty())
        return QStringLiteral("no source: name presentations or folders to convert (see --help)");
    if (lxProject->Target().isEmpty())
        return QStringLiteral("no target: give one with -o DIR (see --help)");
    return QString();
}
} // namespace

int RunCommandLine(int argc, char **argv, const QStringList &args) {
    TlxCommandLine line;
    if (!line.Parse(args))
        return fail(line.Error);
    if (line.Help) {
        std::fputs(qPrintable(UsageText()), stdout);
        return 0;
    }
    int code = 1;
    char *program[] = {argv[0], nullptr};
    lxApp = new TlxApp(1, program); // the options are not a first parameter of the older forms
    lxInfo = new TlxInfo();
    lxProject = new TlxProject();
    lxMain = new TlxMain();
    InitConverterProfile(*lxProject);
    if (line.Version) {
        std::printf("%s %s\n", qPrintable(lxProject->Title), qPrintable(lxProject->Version));
        code = 0;
    } else {
        QStringList sources;
        const QString error = prepareRun(line, &sources);
        if (!error.isEmpty()) {
            code = fail(error);
        } else {
            Matcher = new TlxMatch();
            QCoreApplication app(argc, argv);
            lxMain->Sources = sources;
            lxMain->Json = line.Json;
            lxMain->Quiet = line.Quiet;
            lxMain->Summary = true;
            lxMain->StatusLine = !line.Json && isatty(STDOUT_FILENO);
            code = RunConsoleProgram(true);
            if (code == 0 && lxMain->Failures() > 0)
                code = 2;
        }
    }
    ShutDown();
    return code;
}

QString UsageText() {
    return TlxCommandLine::UsageText() + u'\n' +
           QStringLiteral(
               "Usage: vorlane [PROJECT.batch-vorlane | PRESENTATION | -P:OPTIONS | -I[TEXT] | -U]\n"
               "\n"
               "Converts presentations (*.ppt, *.pptx, ... by default every file matching \"*.ppt?\") into EMF "
               "images,\n"
               "one file per slide (or EMZ, SVG, PNG, or one PDF per deck), with LibreOffice Impress.\n"
               "\n"
               "Only the first parameter is read:\n"
               "  PROJECT.batch-vorlane   open this project\n"
               "  PRESENTATION            convert this file; its folder becomes the target\n"
               "  -P:KEY=VALUE;KEY=VALUE  run with these options (\",\" or \";\" separate them)\n"
               "  -I[TEXT]                open the installation page and end\n"
               "  -U                      open the uninstallation page and end\n"
               "  --help, --version       print this text or the version and end\n"
               "Without a parameter the default project beside the program is used.\n"
               "\n"
               "Option keys:\n"
               "  Source=FOLDER/MASK | FILE   what to convert, e.g. /in/*.ppt?\n"
               "  Target=FOLDER               where the output files go\n"
               "  Format=emf|emz|svg|png|pdf  what to write: EMF, gzip-compressed EMF, SVG, PNG a slide; PDF a deck "
               "(emf)\n"
               "  Slides=LIST                 which slides, e.g. 1 or 2-4 or 1,3,5- (all)\n"
               "  ImageResolution=PPI         pictures finer than this are resampled down; 0 keeps them (220)\n"
               "  PngWidth=PIXELS             the width of a slide written as PNG (1920)\n"
               "  Subdir=True|False           search sub-folders too (False)\n"
               "  ThreadsCount=N              converter workers, each with its own office (1)\n"
               "  IsOverwrite=True|False|skip|newer  existing outputs: overwrite, keep (new name), skip, or only when "
               "newer\n"
               "  KeepTargetSubdirs=True|False  mirror the source's sub-folders (True)\n"
               "  KeepFileTime, DeleteSource=True|False; RenameSource=SUFFIX  after a successful conversion\n"
               "  ReadOnly=True|False  RegExt=REGEX  SkipHidden=True|False  Timeout=SECONDS (120, 0 = none)\n"
               "  PureConsole=True   run without a window     RunAndClose=True  run the window unattended\n"
               "  Daemon=MILLISECONDS  repeat the run         LogFile=FILE      write the run's log\n"
               "  Shard=K/N            take only share K of N of the files (runs on N machines cover all)\n"
               "\n"
               "Examples:\n"
               "  vorlane \"-P:Source=/data/decks/*.ppt?;Target=/data/emf;Subdir=1;PureConsole=1\"\n"
               "  vorlane -P:Source=/data/talk.pptx,Target=/tmp/out,PureConsole=1,LogFile=/tmp/out/run.log\n"
               "  vorlane my-job.batch-vorlane\n"
               "\n"
               "Slide 1 of talk.pptx becomes talk.emf, slide k becomes talk-k.emf (a PDF is talk.pdf). The exit code\n"
               "is 0 when the run ended (also when single files failed: see the log), 1 when it could not run.\n");
}
