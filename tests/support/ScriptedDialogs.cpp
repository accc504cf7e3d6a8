#include "ScriptedDialogs.h"

QStringList ScriptedDialogs::next() {
    return m_answers.isEmpty() ? QStringList() : m_answers.takeFirst();
}

bool ScriptedDialogs::browseForFolder(const QString &initialFolder, QString &chosen) {
    calls << Call{QStringLiteral("folder"), {}, {}, initialFolder, {}, false};
    const QStringList answer = next();
    if (answer.isEmpty())
        return false;
    chosen = answer.first();
    return true;
}

bool ScriptedDialogs::openFiles(const QString &filter, const QString &initialFolder, const QString &initialName,
                                bool multiSelect, QStringList &chosen) {
    calls << Call{QStringLiteral("open"), filter, {}, initialFolder, initialName, multiSelect};
    chosen = next();
    return !chosen.isEmpty();
}

bool ScriptedDialogs::saveFile(const QString &filter, const QString &defaultExt, const QString &initialFolder,
                               const QString &initialName, QString &chosen) {
    calls << Call{QStringLiteral("save"), filter, defaultExt, initialFolder, initialName, false};
    const QStringList answer = next();
    if (answer.isEmpty())
        return false;
    chosen = answer.first();
    return true;
}
