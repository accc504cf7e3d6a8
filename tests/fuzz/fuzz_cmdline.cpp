// The first command-line parameter: "-P" option lines, the "-I" and "-U" web pages, or a file to open.
// Input: one byte (bit 0: the rest is a whole command-line tail, split and unquoted as the program does; else it
// is the parameter itself), then UTF-8 text. The web pages go to a shell that only records them.
#include "FuzzSupport.h"

#include "base/IShell.h"
#include "info/lxInfo.h"
#include "project/lxApp.h"
#include "project/lxProject.h"
#include "project/lxStartup.h"

#include <QFile>
#include <QTemporaryDir>

namespace {
class RecordingShell : public IShell {
public:
    void Open(const QString &target) override { targets << target; }
    QStringList targets;
};

struct Setup {
    QTemporaryDir dir;
    QString exe = dir.filePath(QStringLiteral("vorlane"));
    RecordingShell shell;

    Setup() {
        IShell::install(&shell);
        QFile project(exe + QStringLiteral(".batch-vorlane"));
        FUZZ_EXPECT(project.open(QIODevice::WriteOnly) && project.write("Default=1\r\n") == 11);
        project.close();
        lxApp = new TlxApp(exe, QString());
        lxInfo = new TlxInfo();
        lxProject = new TlxProject();
        InitConverterProfile(*lxProject);
    }
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1)
        return 0;
    FuzzSupport::ensureApplication();
    static Setup *s = new Setup;
    const QString text =
        QString::fromUtf8(QByteArrayView(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1)));
    if (data[0] & 0x01)
        lxApp->FirstParam = TlxApp(s->exe, text).FirstParam;
    else
        lxApp->FirstParam = text;
    const QString param = lxApp->FirstParam;

    TlxProject &p = *lxProject;
    p.FileName.clear();
    p.CommandLineOptions.clear();
    p.SetOptions({});
    p.RecentFiles.clear();
    s->shell.targets.clear();

    const bool goesOn = p.ReadCommandLine();
    const bool link =
        param.size() >= 2 && param.at(0) == u'-' && (param.at(1).toUpper() == u'I' || param.at(1).toUpper() == u'U');
    FUZZ_EXPECT(goesOn == !link);
    if (link) {
        // One web page of the product's site, never a program or file named by the parameter.
        FUZZ_EXPECT(s->shell.targets.size() == 1);
        FUZZ_EXPECT(s->shell.targets.first().startsWith(TlxInfo::HomeUrl + u'/'));
        return 0;
    }
    FUZZ_EXPECT(s->shell.targets.isEmpty());
    // Option lines from "-P" are whole lines, as a saved project will hold them.
    if (param.size() >= 2 && param.at(0) == u'-' && param.at(1).toUpper() == u'P') {
        for (const QString &line : p.Options())
            FUZZ_EXPECT(!line.contains(u'\r') && !line.contains(u'\n'));
    }
    return 0;
}
