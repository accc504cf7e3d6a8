#include "project/lxShellDialogs.h"

#include "project/IShellDialogs.h"

#include <QFileInfo>

QString BrowseInitialFolder;

namespace {
IShellDialogs *g_dialogs = nullptr;

// The folder part of a file name, empty when it has none.
QString folderOf(const QString &fileName) {
    if (fileName.isEmpty())
        return {};
    const qsizetype slash = fileName.lastIndexOf(u'/');
    return slash < 0 ? QString() : fileName.left(slash + 1);
}

QString namePartOf(const QString &fileName) {
    const qsizetype slash = fileName.lastIndexOf(u'/');
    return slash < 0 ? fileName : fileName.mid(slash + 1);
}
} // namespace

IShellDialogs *IShellDialogs::current() {
    return g_dialogs;
}

IShellDialogs *IShellDialogs::install(IShellDialogs *dialogs) {
    IShellDialogs *previous = g_dialogs;
    g_dialogs = dialogs;
    return previous;
}

QString BrowseForFolder(const QString &folder) {
    QString result = folder;
    if (!folder.isEmpty())
        BrowseInitialFolder = folder;
    IShellDialogs *dialogs = IShellDialogs::current();
    QString chosen;
    if (dialogs && dialogs->browseForFolder(folder, chosen) && !chosen.isEmpty())
        result = chosen.left(4096);
    return result;
}

bool OpenFileDialog(const QString &filter, QString &fileName, bool multiSelect) {
    IShellDialogs *dialogs = IShellDialogs::current();
    if (!dialogs)
        return false;
    QString initialName = namePartOf(fileName);
    initialName.replace(u'?', u'*');
    QStringList chosen;
    if (!dialogs->openFiles(filter, folderOf(fileName), initialName, multiSelect, chosen) || chosen.isEmpty())
        return false;
    if (multiSelect) {
        QString lines;
        for (const QString &path : std::as_const(chosen))
            lines += path + QStringLiteral("\r\n");
        fileName = lines;
    } else {
        fileName = chosen.first();
    }
    return true;
}

bool SaveFileDialog(const QString &filter, const QString &defaultExt, QString &fileName) {
    IShellDialogs *dialogs = IShellDialogs::current();
    if (!dialogs)
        return false;
    QString chosen;
    if (!dialogs->saveFile(filter, defaultExt, folderOf(fileName), namePartOf(fileName), chosen) || chosen.isEmpty())
        return false;
    fileName = chosen;
    return true;
}
