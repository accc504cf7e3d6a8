#include "platform/office/OfficeProcess.h"

#include "platform/office/OfficeErrors.h"
#include "platform/office/OfficeStrings.h"

#include <com/sun/star/bridge/BridgeFactory.hpp>
#include <com/sun/star/connection/Connector.hpp>
#include <com/sun/star/connection/NoConnectException.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/lang/XEventListener.hpp>
#include <cppuhelper/bootstrap.hxx>
#include <cppuhelper/implbase1.hxx>
#include <rtl/ustring.hxx>

#include <QByteArray>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QUrl>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char **environ;

using namespace css;
using css::uno::Reference;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;

namespace office {

namespace {
const char kOfficeBinary[] = "/usr/lib/libreoffice/program/soffice.bin";
const char kBootstrap[] = "vnd.sun.star.pathname:/usr/lib/libreoffice/program/fundamentalrc";
constexpr int kRestartExitCode = 81; // a fresh profile's first start ends with this and wants a restart
constexpr int kConnectSeconds = 60;

// A profile marked as already set up for this version skips the first-start work and the graphics self-tests
// that otherwise run at every start of an unmarked profile.
const char kSeededProfile[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<oor:items xmlns:oor=\"http://openoffice.org/2001/registry\" xmlns:xs=\"http://www.w3.org/2001/XMLSchema\" "
    "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">\n"
    "<item oor:path=\"/org.openoffice.Setup/Product\"><prop oor:name=\"ooSetupLastVersion\" "
    "oor:op=\"fuse\"><value>7.4</value></prop></item>\n"
    "<item oor:path=\"/org.openoffice.Setup/Office\"><prop oor:name=\"ooSetupInstCompleted\" "
    "oor:op=\"fuse\"><value>true</value></prop></item>\n"
    "<item oor:path=\"/org.openoffice.Office.Common/Misc\"><prop oor:name=\"FirstRun\" "
    "oor:op=\"fuse\"><value>false</value></prop></item>\n"
    "<item oor:path=\"/org.openoffice.Office.Common/Misc\"><prop oor:name=\"UseSystemFileDialog\" "
    "oor:op=\"fuse\"><value>false</value></prop></item>\n"
    "<item oor:path=\"/org.openoffice.Office.Recovery/RecoveryInfo\"><prop oor:name=\"Enabled\" "
    "oor:op=\"fuse\"><value>false</value></prop></item>\n"
    "<item oor:path=\"/org.openoffice.Office.Recovery/AutoSave\"><prop oor:name=\"Enabled\" "
    "oor:op=\"fuse\"><value>false</value></prop></item>\n"
    "</oor:items>\n";

// Tells when the connection to the office is dropped: the office died or ended.
class BridgeListener : public cppu::WeakImplHelper1<lang::XEventListener> {
public:
    explicit BridgeListener(std::shared_ptr<std::atomic<bool>> gone) : m_gone(std::move(gone)) {}
    void SAL_CALL disposing(const lang::EventObject &) override { m_gone->store(true); }

private:
    std::shared_ptr<std::atomic<bool>> m_gone;
};
} // namespace

Reference<uno::XComponentContext> OfficeProcess::LocalContext() {
    static Reference<uno::XComponentContext> context = [] {
        // A write to a dropped pipe must fail the call, not end the program.
        std::signal(SIGPIPE, SIG_IGN);
        setenv("URE_BOOTSTRAP", kBootstrap, 0);
        return cppu::defaultBootstrap_InitialComponentContext();
    }();
    return context;
}

namespace {
// The office leaves its two pipe sockets in /tmp when it is killed (and even when it ends normally): its private
// pipe, and the one-instance pipe named after the MD5 of the profile URL as UTF-16. Their paths are noted in the
// profile folder, so that whoever removes the folder removes them too.
QStringList pipePaths(const QString &pipeName, const QString &profileUrl) {
    const QString prefix = QStringLiteral("/tmp/OSL_PIPE_%1_").arg(getuid());
    const QByteArray md5 = QCryptographicHash::hash(
        QByteArray(reinterpret_cast<const char *>(profileUrl.utf16()), profileUrl.size() * 2), QCryptographicHash::Md5);
    QString hash;
    for (const char byte : md5)
        hash += QString::number(static_cast<quint8>(byte), 16);
    return {prefix + pipeName, prefix + QStringLiteral("SingleOfficeIPC_") + hash};
}

void notePipes(const QString &root, const QStringList &pipes) {
    QFile note(root + QStringLiteral("/pipes"));
    if (note.open(QIODevice::WriteOnly))
        note.write(QFile::encodeName(pipes.join(u'\n')));
}

// Removes the sockets noted in a profile folder; call only once its office has ended.
void removePipes(const QString &root) {
    if (root.isEmpty())
        return;
    QFile note(root + QStringLiteral("/pipes"));
    if (!note.open(QIODevice::ReadOnly))
        return;
    for (const QByteArray &pipe : note.readAll().split('\n')) {
        struct stat st;
        if (pipe.startsWith("/tmp/OSL_PIPE_") && ::lstat(pipe.constData(), &st) == 0 && S_ISSOCK(st.st_mode))
            ::unlink(pipe.constData());
    }
}

// Profiles are named after the program that made them. A program that was killed outright could not remove its
// own: the first office a program starts clears the profiles of programs that no longer run.
void sweepStaleProfiles() {
    static std::once_flag once;
    std::call_once(once, [] {
        QDir temp = QDir::temp();
        const QStringList dirs =
            temp.entryList(QStringList{QStringLiteral("vorlane-office-*")}, QDir::Dirs | QDir::NoDotAndDotDot);
        for (const QString &name : dirs) {
            bool ok = false;
            const pid_t owner = name.section(u'-', 2, 2).toInt(&ok);
            if (ok && owner > 0 && owner != getpid() && ::kill(owner, 0) != 0 && errno == ESRCH) {
                removePipes(temp.filePath(name));
                QDir(temp.filePath(name)).removeRecursively();
            }
        }
    });
}
} // namespace

namespace {
bool copyTree(const QString &from, const QString &to) {
    QDir src(from);
    if (!QDir().mkpath(to))
        return false;
    const QFileInfoList entries = src.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QFileInfo &e : entries) {
        const QString target = to + u'/' + e.fileName();
        if (e.isDir() ? !copyTree(e.filePath(), target) : !QFile::copy(e.filePath(), target))
            return false;
    }
    return true;
}

// A new profile makes the office set itself up and ask for a restart (about 1.5 s). The first profile of the
// program is kept, as it was when the office asked for the restart, and later profiles start as copies of it.
struct ProfileTemplate {
    std::mutex lock;
    QString dir;
    ~ProfileTemplate() {
        if (!dir.isEmpty())
            QDir(dir).removeRecursively();
    }
};

ProfileTemplate &profileTemplate() {
    static ProfileTemplate t;
    return t;
}

// Fills a new profile folder from the template, or seeds it when there is none yet.
void prepareProfile(const QString &profile) {
    {
        ProfileTemplate &t = profileTemplate();
        std::lock_guard<std::mutex> g(t.lock);
        if (!t.dir.isEmpty() && copyTree(t.dir, profile))
            return;
    }
    QDir(profile).removeRecursively();
    QDir().mkpath(profile + QStringLiteral("/user"));
    QFile seed(profile + QStringLiteral("/user/registrymodifications.xcu"));
    if (seed.open(QIODevice::WriteOnly))
        seed.write(kSeededProfile);
}

// Keeps a profile that has just been set up as the template, unless one exists.
void keepAsTemplate(const QString &profile) {
    ProfileTemplate &t = profileTemplate();
    std::lock_guard<std::mutex> g(t.lock);
    if (!t.dir.isEmpty())
        return;
    const QString dir = QDir::temp().filePath(QStringLiteral("vorlane-office-%1-template").arg(getpid()));
    QDir(dir).removeRecursively();
    if (copyTree(profile, dir)) {
        QFile::remove(dir + QStringLiteral("/.lock"));
        t.dir = dir;
    } else {
        QDir(dir).removeRecursively();
    }
}
} // namespace

OfficeProcess::OfficeProcess(const QList<fonts::FontSetup::File> &fonts)
    : m_bridgeGone(std::make_shared<std::atomic<bool>>(false)) {
    sweepStaleProfiles();
    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/vorlane-office-%1-XXXXXX").arg(getpid()));
    if (!dir.isValid())
        throw Error(Failure::StartFailed, QStringLiteral("cannot create a temporary profile folder"));
    dir.setAutoRemove(false);
    m_root = dir.path();
    QDir(m_root).mkpath(QStringLiteral("tmp"));
    prepareProfile(m_root + QStringLiteral("/profile"));
    m_fontconfig = writeFonts(fonts);
    m_pipeName = QStringLiteral("vorlane_%1_%2").arg(getpid()).arg(QRandomGenerator::global()->generate64(), 0, 16);
    try {
        LocalContext();
        spawn();
        connect();
    } catch (...) {
        Shutdown();
        throw;
    }
}

QString OfficeProcess::writeFonts(const QList<fonts::FontSetup::File> &fonts) {
    const QString dir = m_root + QStringLiteral("/fonts");
    QDir().mkpath(dir);
    for (const fonts::FontSetup::File &font : fonts) {
        QFile f(dir + u'/' + font.name);
        if (!f.open(QIODevice::WriteOnly) || f.write(font.data) != font.data.size())
            throw Error(Failure::StartFailed, QStringLiteral("cannot write the deck's fonts for the office"));
    }
    QFile conf(m_root + QStringLiteral("/fonts.conf"));
    const QByteArray text = fonts::FontSetup::FontconfigFile(dir, m_root + QStringLiteral("/fontcache"));
    if (!conf.open(QIODevice::WriteOnly) || conf.write(text) != text.size())
        throw Error(Failure::StartFailed, QStringLiteral("cannot write the office's font configuration"));
    return conf.fileName();
}

OfficeProcess::~OfficeProcess() {
    Shutdown();
}

namespace {
// The office's environment: this process's, with a temporary folder and a fontconfig file of the office's own.
std::vector<std::string> officeEnvironment(const QString &tmp, const QString &fontconfig) {
    std::vector<std::string> env;
    for (char **e = environ; e && *e; ++e)
        if (std::strncmp(*e, "TMPDIR=", 7) != 0 && std::strncmp(*e, "FONTCONFIG_FILE=", 16) != 0)
            env.emplace_back(*e);
    env.push_back("TMPDIR=" + tmp.toStdString());
    env.push_back("FONTCONFIG_FILE=" + fontconfig.toStdString());
    return env;
}
} // namespace

void OfficeProcess::spawn() {
    const QString url = QUrl::fromLocalFile(m_root + QStringLiteral("/profile")).toString(QUrl::FullyEncoded);
    notePipes(m_root, pipePaths(m_pipeName, url));
    const std::string profileUrl = url.toStdString();
    std::vector<std::string> args = {
        kOfficeBinary,
        "-env:UserInstallation=" + profileUrl,
        "--headless",
        "--invisible",
        "--nologo",
        "--norestore",
        "--nodefault",
        "--nolockcheck",
        "--accept=pipe,name=" + m_pipeName.toStdString() + ";urp;StarOffice.ComponentContext",
    };
    std::vector<std::string> env = officeEnvironment(m_root + QStringLiteral("/tmp"), m_fontconfig);
    // Everything the child needs is prepared before fork: after it, only async-signal-safe calls are made.
    std::vector<char *> argv, envp;
    for (auto &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    for (auto &e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    const pid_t parent = getpid();

    std::lock_guard<std::mutex> g(m_pidLock);
    const pid_t pid = fork();
    if (pid < 0)
        throw Error(Failure::StartFailed, QStringLiteral("cannot create a process"));
    if (pid == 0) {
        setpgid(0, 0); // its own group, so that a kill reaches anything it starts
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(127);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        signal(SIGPIPE, SIG_DFL);
        const int null = open("/dev/null", O_RDWR);
        if (null >= 0) {
            dup2(null, 0);
            dup2(null, 1);
            dup2(null, 2);
        }
        if (syscall(SYS_close_range, 3u, ~0u, 0u) != 0)
            for (int fd = 3; fd < 4096; ++fd)
                close(fd);
        execve(kOfficeBinary, argv.data(), envp.data());
        _exit(127);
    }
    setpgid(pid, pid); // also from the parent, so the group exists before anything signals it
    m_pid = pid;
    m_reaped = false;
    m_status = 0;
}

bool OfficeProcess::reapLocked(bool wait) {
    if (m_reaped)
        return true;
    int status = 0;
    const pid_t r = waitpid(m_pid, &status, wait ? 0 : WNOHANG);
    if (r == m_pid || (r < 0 && errno == ECHILD)) {
        m_reaped = true;
        m_status = status;
        return true;
    }
    return false;
}

void OfficeProcess::connect() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kConnectSeconds);
    Reference<uno::XComponentContext> local = LocalContext();
    Reference<connection::XConnector> connector = connection::Connector::create(local);
    Reference<connection::XConnection> conn;
    int restarts = 0;
    while (!conn.is()) {
        {
            std::lock_guard<std::mutex> g(m_pidLock);
            if (reapLocked(false)) {
                const bool restart = WIFEXITED(m_status) && WEXITSTATUS(m_status) == kRestartExitCode;
                if (restart)
                    keepAsTemplate(m_root + QStringLiteral("/profile"));
                if (!restart || ++restarts > 3) {
                    const QString how = WIFEXITED(m_status)
                                            ? QStringLiteral("it exited with code %1").arg(WEXITSTATUS(m_status))
                                            : QStringLiteral("it was ended by signal %1").arg(WTERMSIG(m_status));
                    throw Error(Failure::StartFailed, how);
                }
            }
        }
        if (m_reaped)
            spawn();
        try {
            conn = connector->connect(toOU(QStringLiteral("pipe,name=") + m_pipeName));
        } catch (const connection::NoConnectException &) {
            if (std::chrono::steady_clock::now() > deadline)
                throw Error(Failure::StartFailed,
                            QStringLiteral("it did not answer within %1 seconds").arg(kConnectSeconds));
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    try {
        Reference<bridge::XBridgeFactory2> factory = bridge::BridgeFactory::create(local);
        m_bridge = factory->createBridge(OUString(), "urp", conn, nullptr);
        Reference<lang::XComponent>(m_bridge, UNO_QUERY_THROW)->addEventListener(new BridgeListener(m_bridgeGone));
        m_context.set(m_bridge->getInstance("StarOffice.ComponentContext"), UNO_QUERY_THROW);
        m_desktop = frame::Desktop::create(m_context);
    } catch (const uno::Exception &e) {
        throw Error(Failure::StartFailed, fromOU(e.Message));
    }
}

void OfficeProcess::Kill() {
    std::lock_guard<std::mutex> g(m_pidLock);
    if (!m_reaped && m_pid > 0)
        ::kill(-m_pid, SIGKILL);
}

bool OfficeProcess::IsDead() {
    if (m_bridgeGone->load())
        return true;
    std::lock_guard<std::mutex> g(m_pidLock);
    if (reapLocked(false))
        return true;
    // A killed office whose main thread has ended is dying even before it can be reaped (its other threads
    // are still being torn down): the next call would fail on it.
    QFile stat(QStringLiteral("/proc/%1/stat").arg(m_pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = stat.readAll();
    const qsizetype close = text.lastIndexOf(')');
    return close > 0 && text.mid(close + 2, 1) == "Z";
}

bool OfficeProcess::WaitDead(int ms) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        {
            std::lock_guard<std::mutex> g(m_pidLock);
            if (reapLocked(false))
                return true;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

QString OfficeProcess::EndDescription() {
    std::lock_guard<std::mutex> g(m_pidLock);
    if (!reapLocked(false) || m_pid <= 0)
        return QString();
    if (WIFSIGNALED(m_status))
        return QStringLiteral("killed by signal %1").arg(WTERMSIG(m_status));
    return QStringLiteral("exit code %1").arg(WEXITSTATUS(m_status));
}

qint64 OfficeProcess::ResidentBytes() const {
    QFile statm(QStringLiteral("/proc/%1/statm").arg(m_pid));
    if (m_pid <= 0 || !statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields.at(1).toLongLong() * sysconf(_SC_PAGESIZE) : 0;
}

void OfficeProcess::Shutdown() {
    if (m_shutDown)
        return;
    m_shutDown = true;
    bool running = false;
    {
        std::lock_guard<std::mutex> g(m_pidLock);
        running = !m_reaped;
    }
    if (running && m_desktop.is() && !m_bridgeGone->load()) {
        try {
            m_desktop->terminate();
        } catch (const uno::Exception &) {
            // The office may drop the connection while it ends.
        }
    }
    // Give it a moment to end by itself, then kill whatever is left of its group. The group is signalled
    // before the leader is reaped: until then its id cannot belong to anyone else.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (running && std::chrono::steady_clock::now() < deadline) {
        siginfo_t info{};
        {
            std::lock_guard<std::mutex> g(m_pidLock);
            if (m_reaped || (waitid(P_PID, m_pid, &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == m_pid))
                break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    {
        std::lock_guard<std::mutex> g(m_pidLock);
        if (!m_reaped && m_pid > 0) {
            ::kill(-m_pid, SIGKILL);
            reapLocked(true);
        }
    }
    m_desktop.clear();
    m_context.clear();
    if (m_bridge.is()) {
        try {
            Reference<lang::XComponent>(m_bridge, UNO_QUERY_THROW)->dispose();
        } catch (const uno::Exception &) {
        }
        m_bridge.clear();
    }
    removeProfile();
}

void OfficeProcess::removeProfile() {
    removePipes(m_root);
    if (!m_root.isEmpty())
        QDir(m_root).removeRecursively();
    m_root.clear();
}

} // namespace office
