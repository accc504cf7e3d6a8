#pragma once

#include "fonts/FontSetup.h"

#include <com/sun/star/bridge/XBridge.hpp>
#include <com/sun/star/frame/XDesktop2.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>

#include <QString>

#include <atomic>
#include <memory>
#include <mutex>
#include <sys/types.h>

namespace office {

// One headless office process with its own temporary profile, connected over a private pipe.
//
// The process is started from the constructing thread: the kernel's parent-death signal is tied to that thread,
// so the office dies with it, and with the program, even when the program is killed outright. The profile
// folder also holds the office's temporary files, so removing it leaves nothing behind.
class OfficeProcess {
public:
    // Starts and connects; raises EOleError (could not be started) on failure, leaving nothing running. The fonts
    // are this office's alone (a deck's own), beside the machine's and the stand-ins for fonts nobody has.
    explicit OfficeProcess(const QList<fonts::FontSetup::File> &fonts = {});
    ~OfficeProcess();
    OfficeProcess(const OfficeProcess &) = delete;
    OfficeProcess &operator=(const OfficeProcess &) = delete;

    // Asks the office to end, waits a little, kills it if needed, reaps it and removes the profile. Idempotent.
    void Shutdown();
    // Kills the whole process group at once. Safe from any thread (the watchdog's).
    void Kill();
    // True when the office has gone (its connection was dropped or the process ended).
    bool IsDead();
    // Waits up to ms milliseconds for the office to be gone; true when it is.
    bool WaitDead(int ms);

    pid_t Pid() const { return m_pid; }
    // How the process ended ("killed by signal 9", "exit code 1"), empty while it runs.
    QString EndDescription();
    qint64 ResidentBytes() const;

    const css::uno::Reference<css::uno::XComponentContext> &Context() const { return m_context; }
    const css::uno::Reference<css::frame::XDesktop2> &Desktop() const { return m_desktop; }

    // The program's own UNO context, made once per process.
    static css::uno::Reference<css::uno::XComponentContext> LocalContext();

private:
    void spawn();
    void connect();
    bool reapLocked(bool wait); // m_pidLock held; true when the process has been reaped
    void removeProfile();
    // The office's own fontconfig file and font folder; its path for FONTCONFIG_FILE.
    QString writeFonts(const QList<fonts::FontSetup::File> &fonts);

    QString m_root;       // temporary folder: profile/ and tmp/
    QString m_pipeName;   // private pipe the office accepts on
    QString m_fontconfig; // the office's fontconfig file
    pid_t m_pid = -1;
    bool m_reaped = true;
    bool m_shutDown = false;
    int m_status = 0;
    std::mutex m_pidLock; // guards m_pid/m_reaped so that Kill never signals a reaped (reusable) pid
    std::shared_ptr<std::atomic<bool>> m_bridgeGone;
    css::uno::Reference<css::bridge::XBridge> m_bridge;
    css::uno::Reference<css::uno::XComponentContext> m_context;
    css::uno::Reference<css::frame::XDesktop2> m_desktop;
};

} // namespace office
