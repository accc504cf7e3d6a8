#include "base/IShell.h"

#include <atomic>

namespace {
std::atomic<IShell *> g_shell{nullptr};
std::atomic<IShell *> g_desktop{nullptr};

// Where no desktop opener was wired in (tools, tests): nothing is opened, as when the desktop has no program.
class NoShell : public IShell {
public:
    void Open(const QString &) override {}
};
} // namespace

IShell *IShell::current() {
    static NoShell none;
    IShell *shell = g_shell.load();
    if (!shell)
        shell = g_desktop.load();
    return shell ? shell : &none;
}

IShell *IShell::install(IShell *shell) {
    return g_shell.exchange(shell);
}

void IShell::setDesktop(IShell *shell) {
    g_desktop.store(shell);
}
