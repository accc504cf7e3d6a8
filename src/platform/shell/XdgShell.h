#pragma once

#include "base/IShell.h"

#include <QStringList>

// Opens targets with xdg-open, started detached with an argument vector (never through a command shell, so no
// character of a query text or a file name can run anything). Without a graphical session (neither DISPLAY nor
// WAYLAND_DISPLAY) it does nothing: a console run on a server must not start a terminal browser.
class XdgShell : public IShell {
public:
    void Open(const QString &target) override;

    static bool HasGraphicalSession();
    // The program and arguments that open a target; empty when the target is empty.
    static QStringList CommandFor(const QString &target);
};
