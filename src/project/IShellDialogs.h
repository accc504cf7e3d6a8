#pragma once

#include <QString>
#include <QStringList>

// The folder, open and save dialogs as the program asks for them. The windowed program installs an
// implementation with real dialogs; tests install scripted answers. Arguments arrive already prepared
// (initial folder resolved, "?" turned into "*"), so a fake sees exactly what a user would see.
class IShellDialogs {
public:
    virtual ~IShellDialogs() = default;

    // Returns true and the chosen folder, or false when cancelled. An empty initialFolder preselects nothing.
    virtual bool browseForFolder(const QString &initialFolder, QString &chosen) = 0;

    // filter: pairs "description|pattern|description|pattern..." as the program stores them.
    // Returns true with the chosen existing files (one unless multiSelect), false when cancelled.
    virtual bool openFiles(const QString &filter, const QString &initialFolder, const QString &initialName,
                           bool multiSelect, QStringList &chosen) = 0;

    // Returns true with the chosen path (the dialog asked before overwriting), false when cancelled.
    virtual bool saveFile(const QString &filter, const QString &defaultExt, const QString &initialFolder,
                          const QString &initialName, QString &chosen) = 0;

    // The implementation in use; nullptr means every dialog is cancelled (no GUI, e.g. a console run).
    static IShellDialogs *current();
    // Installs an implementation (not owned); returns the previous one.
    static IShellDialogs *install(IShellDialogs *dialogs);
};
