#include "platform/IShell.h"

#include "platform/shell/XdgShell.h"

#include <atomic>

namespace {
std::atomic<IShell *> g_shell{nullptr};

IShell *desktopShell() {
    static XdgShell shell;
    return &shell;
}
} // namespace

IShell *IShell::current() {
    IShell *shell = g_shell.load();
    return shell ? shell : desktopShell();
}

IShell *IShell::install(IShell *shell) {
    return g_shell.exchange(shell);
}
