#pragma once

#include "project/IShellDialogs.h"

#include <QList>
#include <QString>
#include <QStringList>

// Dialogs that answer from a script and record what they were asked. An empty queue means "cancel".
class ScriptedDialogs : public IShellDialogs {
public:
    struct Call {
        QString kind; // "folder", "open", "save"
        QString filter, defaultExt, initialFolder, initialName;
        bool multiSelect = false;
    };

    ScriptedDialogs() { m_previous = IShellDialogs::install(this); }
    ~ScriptedDialogs() override { IShellDialogs::install(m_previous); }

    // Next answer: the paths chosen; an empty list cancels the dialog.
    void answer(const QStringList &paths) { m_answers << paths; }
    void cancel() { m_answers << QStringList(); }

    QList<Call> calls;

    bool browseForFolder(const QString &initialFolder, QString &chosen) override;
    bool openFiles(const QString &filter, const QString &initialFolder, const QString &initialName, bool multiSelect,
                   QStringList &chosen) override;
    bool saveFile(const QString &filter, const QString &defaultExt, const QString &initialFolder,
                  const QString &initialName, QString &chosen) override;

private:
    QStringList next();

    QList<QStringList> m_answers;
    IShellDialogs *m_previous = nullptr;
};
