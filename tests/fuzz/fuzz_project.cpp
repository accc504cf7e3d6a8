// The project file: read in any encoding (UTF-8 or UTF-16 byte-order marks, else the locale's), its option
// lines read back as texts, Booleans and numbers, shown in bound controls and taken back from them.
// Input: the bytes of the project file.
#include "FuzzSupport.h"

#include "project/lxApp.h"
#include "project/lxProject.h"
#include "project/lxPropList.h"

#include <QDir>
#include <QFile>
#include <QObject>
#include <QTemporaryDir>

namespace {
// A control with the kinds of property the project binds: a Boolean, a text and an enumeration.
class Control : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool checked MEMBER checked)
    Q_PROPERTY(QString text MEMBER text)
    Q_PROPERTY(Qt::CheckState state MEMBER state)
public:
    Control(const char *name, const char *hint) {
        setObjectName(QString::fromLatin1(name));
        setProperty("hint", QString::fromLatin1(hint));
    }
    bool checked = false;
    QString text;
    Qt::CheckState state = Qt::Unchecked;
};

struct Setup {
    QTemporaryDir dir;
    TlxApp app{dir.filePath(QStringLiteral("vorlane")), QString()};
    std::unique_ptr<TlxProject> project;
    Control subdir{"cSubdir", "Checked"}, source{"eSource", "Text"}, state{"sState", "State"};
    QString file = dir.filePath(QStringLiteral("fuzz.batch-vorlane"));
    QString copy = dir.filePath(QStringLiteral("copy.batch-vorlane"));

    Setup() {
        lxApp = &app;
        project = std::make_unique<TlxProject>();
        lxProject = project.get();
        project->ProjectExt = QStringLiteral(".batch-vorlane");
        project->BindControl(&subdir);
        project->BindControl(&source);
        project->BindControl(&state);
    }
};

void writeFile(const QString &name, const uint8_t *data, size_t size) {
    QFile f(name);
    FUZZ_EXPECT(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    FUZZ_EXPECT(f.write(reinterpret_cast<const char *>(data), qint64(size)) == qint64(size));
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzSupport::ensureApplication();
    static Setup *s = new Setup;
    TlxProject &p = *s->project;
    writeFile(s->file, data, size);

    QStringList lines;
    FUZZ_EXPECT(TlxProject::ReadLines(s->file, lines));
    for (const QString &line : std::as_const(lines))
        FUZZ_EXPECT(!line.contains(u'\r') && !line.contains(u'\n'));

    // The option list as the program reads it.
    p.SetOptions(lines);
    FUZZ_EXPECT(p.Options() == lines);
    for (const QString &line : std::as_const(lines)) {
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0)
            continue;
        const QString value = p.GetOption(line.left(eq));
        TlxProject::ParseBool(value, false);
        TlxProject::ParseInt(value, 0);
    }
    p.Subdir(), p.ThreadsCount(), p.KeepTargetSubdirs(), p.KeepFileTime(), p.DeleteSource(), p.PureConsole();
    p.Daemon(), p.RunAndClose(), p.Timeout(), p.OverwriteMode();

    // Through the configuration dialog's text and back.
    p.SetOptionsText(p.OptionsText());
    FUZZ_EXPECT(p.Options() == lines);

    // Into the bound controls and back: a Boolean the text names is shown as it is, a text comes back unchanged.
    s->subdir.checked = false;
    p.OptionsToControls();
    const QString subdir = p.GetOption(QStringLiteral("Subdir"));
    if (TlxProject::ParseBool(subdir, false) == TlxProject::ParseBool(subdir, true))
        FUZZ_EXPECT(s->subdir.checked == TlxProject::ParseBool(subdir, false));
    const QString source = p.GetOption(QStringLiteral("Source"));
    p.ControlsToOptions();
    if (!source.isEmpty())
        FUZZ_EXPECT(p.GetOption(QStringLiteral("Source")) == source);

    // Saved and read again: the same lines (the locale encoding is UTF-8, so only unpaired surrogates and a
    // leading byte-order mark could not come back).
    p.SetOptions(lines);
    TlxProject::WriteLines(s->copy, lines);
    QStringList again;
    FUZZ_EXPECT(TlxProject::ReadLines(s->copy, again));
    const QString joined = lines.join(u'\n');
    if (joined.isValidUtf16() && !joined.startsWith(QChar(0xFEFF)))
        FUZZ_EXPECT(again == lines);

    // Opened as the project it is.
    p.FileName = s->file;
    p.OpenProject(false);
    p.RecentFiles.clear();
    return 0;
}

#include "fuzz_project.moc"
