#pragma once

#include <QString>

// Folder and file dialogs used by the main window and the project's Open and Save As.

// The folder that the last BrowseForFolder with a non-empty folder preselected.
extern QString BrowseInitialFolder;

// Returns the chosen folder, or the given one when the user cancels.
QString BrowseForFolder(const QString &folder);

// On confirm: fileName becomes the chosen full path, or with multiSelect every chosen path followed by CR LF.
// "?" in the given name shows as "*", and the dialog starts in the name's folder. Cancel leaves fileName alone.
bool OpenFileDialog(const QString &filter, QString &fileName, bool multiSelect);

// On confirm (after an overwrite prompt) fileName becomes the chosen full path; cancel leaves it alone.
bool SaveFileDialog(const QString &filter, const QString &defaultExt, QString &fileName);
