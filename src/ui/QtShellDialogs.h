#pragma once

#include "project/IShellDialogs.h"

class QWidget;

// The dialogs of the windowed program, on QFileDialog.
class QtShellDialogs : public IShellDialogs {
public:
    explicit QtShellDialogs(QWidget *owner = nullptr) : m_owner(owner) {}
    void setOwner(QWidget *owner) { m_owner = owner; }

    bool browseForFolder(const QString &initialFolder, QString &chosen) override;
    bool openFiles(const QString &filter, const QString &initialFolder, const QString &initialName, bool multiSelect,
                   QStringList &chosen) override;
    bool saveFile(const QString &filter, const QString &defaultExt, const QString &initialFolder,
                  const QString &initialName, QString &chosen) override;

    // "Desc|*.a;*.b|Desc2|*.c" as Qt name filters: "Desc (*.a *.b)", "Desc2 (*.c)".
    static QStringList NameFilters(const QString &filter);

private:
    QWidget *m_owner;
};
