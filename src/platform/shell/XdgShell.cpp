#include "platform/shell/XdgShell.h"

#include "base/lxFileName.h"

#include <QProcess>

bool XdgShell::HasGraphicalSession() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

QStringList XdgShell::CommandFor(const QString &target) {
    if (target.isEmpty())
        return {};
    // A name with bytes that are not UTF-8 would lose them on the way to the opener: its URL keeps them.
    if (TlxFileName::HasRawBytes(target))
        return {QStringLiteral("xdg-open"), TlxFileName::FileUrl(TlxFileName::Absolute(target))};
    // A relative name that begins with "-" would be read as an option of xdg-open.
    const QString argument = target.startsWith(u'-') ? QStringLiteral("./") + target : target;
    return {QStringLiteral("xdg-open"), argument};
}

void XdgShell::Open(const QString &target) {
    const QStringList command = CommandFor(target);
    if (command.isEmpty() || !HasGraphicalSession())
        return;
    // Detached: the opener outlives nothing of ours, and its result is not looked at.
    QProcess::startDetached(command.first(), command.mid(1));
}
