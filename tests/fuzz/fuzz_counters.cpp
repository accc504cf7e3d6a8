// The files the program keeps beside itself: the usage counters (raw UTF-16) and the recent-projects list (a
// project file's encodings). Input: one byte (bit 0: counters, else recent list), then the file's bytes.
#include "FuzzSupport.h"

#include "base/IShell.h"
#include "info/lxInfo.h"
#include "project/lxApp.h"
#include "project/lxProject.h"

#include <QFile>
#include <QTemporaryDir>

#include <limits>

namespace {
class SilentShell : public IShell {
public:
    void Open(const QString &) override {}
};

struct Setup {
    QTemporaryDir dir;
    SilentShell shell;
    TlxApp app{dir.filePath(QStringLiteral("vorlane")), QString()};
    std::unique_ptr<TlxInfo> info;
    std::unique_ptr<TlxProject> project;

    Setup() {
        IShell::install(&shell);
        lxApp = &app;
        info = std::make_unique<TlxInfo>();
        project = std::make_unique<TlxProject>();
    }
};

void writeFile(const QString &name, const char *data, size_t size) {
    QFile f(name);
    FUZZ_EXPECT(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    FUZZ_EXPECT(f.write(data, qint64(size)) == qint64(size));
}

void counters(TlxInfo &info, const char *data, size_t size) {
    writeFile(info.StatsFileName(), data, size);
    info.LoadStats();
    FUZZ_EXPECT(info.StatValue(QStringLiteral("v")) == QStringLiteral("2"));
    const QString starts = info.StatValue(QStringLiteral("R"));
    info.UpdateStat(QStringLiteral("R"), 0, 1);
    bool ok = false;
    const qint64 before = starts.toLongLong(&ok);
    if (ok && before >= 0)
        FUZZ_EXPECT(info.StatValue(QStringLiteral("R")) ==
                    QString::number(before == std::numeric_limits<qint64>::max() ? before : before + 1));
    info.UpdateStat(QStringLiteral("C"), 0, 5);
    info.UpdateStat(QStringLiteral("E"), 7, 0);
    info.StatsText();
    info.LinkTarget(QString(), QStringLiteral("ins"), QString());
    // What was written is read back as it was.
    const QStringList stats = info.Stats();
    FUZZ_EXPECT(info.SaveStats());
    info.LoadStats();
    FUZZ_EXPECT(info.Stats() == stats);
}

void recent(TlxProject &project, const char *data, size_t size) {
    writeFile(project.RecentListFileName(), data, size);
    project.LoadRecent();
    for (const QString &entry : std::as_const(project.RecentFiles))
        FUZZ_EXPECT(!entry.isEmpty() && !entry.contains(u'\r') && !entry.contains(u'\n'));
    const QStringList entries = project.RecentFiles;
    project.SaveRecent();
    project.LoadRecent();
    const QString joined = entries.join(u'\n');
    if (joined.isValidUtf16() && !joined.startsWith(QChar(0xFEFF)))
        FUZZ_EXPECT(project.RecentFiles == entries);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1)
        return 0;
    FuzzSupport::ensureApplication();
    static Setup *s = new Setup;
    const char *rest = reinterpret_cast<const char *>(data + 1);
    if (data[0] & 0x01)
        counters(*s->info, rest, size - 1);
    else
        recent(*s->project, rest, size - 1);
    return 0;
}
