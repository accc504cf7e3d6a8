#include "base/IShell.h"
#include "base/lxFileName.h"
#include "platform/shell/XdgShell.h"
#include "project/lxCommandLine.h"
#include "project/lxProject.h"
#include "project/lxStartup.h"
#include "service/VorlaneService.h"
#include "ui/lxGuiApplication.h"
#include "ui/lxWindowedStart.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstring>

#ifdef VORLANE_HAVE_OFFICE
#include "platform/office/OfficeServer.h"
#endif

namespace {
void print(FILE *stream, const QString &text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
}
} // namespace

int main(int argc, char **argv) {
    static XdgShell desktop;
    IShell::setDesktop(&desktop);
    // The option form: names keep their bytes, like every other path of the program.
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << TlxFileName::Decode(QByteArrayView(argv[i]));
    // The conversion service: a long option first, so that a bare word stays a file name as it always was.
    if (!args.isEmpty() && args.first() == QLatin1String("--serve")) {
#ifdef VORLANE_HAVE_OFFICE
        RegisterOfficeServer();
#endif
        QCoreApplication app(argc, argv);
        TlxProject profile;
        InitConverterProfile(profile);
        return RunService(args, profile.Version);
    }
    if (TlxCommandLine::IsNewForm(args)) {
#ifdef VORLANE_HAVE_OFFICE
        RegisterOfficeServer();
#endif
        return RunCommandLine(argc, argv, args);
    }
    // Answered before start-up: asking for help or the version neither counts as a start nor opens a project.
    if (argc > 1 && std::strcmp(argv[1], "--help") == 0) {
        print(stdout, UsageText());
        return 0;
    }
    if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
        TlxProject profile;
        InitConverterProfile(profile);
        print(stdout, QStringLiteral("%1 %2\n").arg(profile.Title, profile.Version));
        return 0;
    }
#ifdef VORLANE_HAVE_OFFICE
    RegisterOfficeServer();
#endif
    int code = 0;
    if (StartUp(argc, argv)) {
        if (WantsConsoleRun()) {
            // A console run never needs a display: no GUI application object is created.
            QCoreApplication app(argc, argv);
            code = RunConsoleProgram(true);
        } else if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
                   qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            // Said plainly instead of the toolkit's abort: on a server the console run is what is wanted.
            print(stderr, QStringLiteral("%1: no display for the window; for a run without one add PureConsole=1, "
                                         "e.g. %1 \"-P:Source=/in/*.ppt?;Target=/out;PureConsole=1\" "
                                         "(see %1 --help)\n")
                              .arg(lxProject->ShortName));
            code = 1;
        } else {
            TlxGuiApplication app(argc, argv);
            code = RunWindowed(app);
        }
    }
    ShutDown();
    return code;
}
