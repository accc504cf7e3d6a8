#pragma once

#include <QString>

// Opens a file, folder, web address or "mailto:" address with the desktop's default program. The program uses
// the desktop opener; tests install a recorder. Whatever happens is not reported back: a missing browser or
// help file is not the program's business.
class IShell {
public:
    virtual ~IShell() = default;

    virtual void Open(const QString &target) = 0;

    // The implementation in use: the installed one, else the desktop opener, else one that opens nothing.
    static IShell *current();
    // Installs an implementation (not owned); nullptr goes back to the desktop opener. Returns the previous one.
    static IShell *install(IShell *shell);
    // The desktop opener (not owned): wired in by the program's start, which alone knows the platform.
    static void setDesktop(IShell *shell);
};
