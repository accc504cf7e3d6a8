#include "ui/QtShellDialogs.h"

#include <QFileDialog>

QStringList QtShellDialogs::NameFilters(const QString &filter) {
    const QStringList parts = filter.split(u'|');
    QStringList result;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts.at(i);
        const QString patterns = parts.at(i + 1).split(u';', Qt::SkipEmptyParts).join(u' ');
        // Descriptions often already name their patterns ("PowerPoint (*.ppt;*.pptx)"): Qt wants its own form.
        const qsizetype paren = description.indexOf(u'(');
        if (paren > 0)
            description = description.left(paren).trimmed();
        result << QStringLiteral("%1 (%2)").arg(description, patterns);
    }
    return result;
}

bool QtShellDialogs::browseForFolder(const QString &initialFolder, QString &chosen) {
    QFileDialog dialog(m_owner);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    if (!initialFolder.isEmpty())
        dialog.setDirectory(initialFolder);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    chosen = dialog.selectedFiles().first();
    return true;
}

bool QtShellDialogs::openFiles(const QString &filter, const QString &initialFolder, const QString &initialName,
                               bool multiSelect, QStringList &chosen) {
    QFileDialog dialog(m_owner);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(multiSelect ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    dialog.setNameFilters(NameFilters(filter));
    if (!initialFolder.isEmpty())
        dialog.setDirectory(initialFolder);
    if (!initialName.isEmpty()) {
        // A pattern such as "*.ppt*" is shown as the filter the user starts with.
        if (initialName.contains(u'*'))
            dialog.setNameFilters(QStringList{initialName} + NameFilters(filter));
        else
            dialog.selectFile(initialName);
    }
    if (dialog.exec() != QDialog::Accepted)
        return false;
    chosen = dialog.selectedFiles();
    return !chosen.isEmpty();
}

bool QtShellDialogs::saveFile(const QString &filter, const QString &defaultExt, const QString &initialFolder,
                              const QString &initialName, QString &chosen) {
    QFileDialog dialog(m_owner);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(NameFilters(filter));
    QString ext = defaultExt;
    if (ext.startsWith(u'.'))
        ext.remove(0, 1);
    dialog.setDefaultSuffix(ext);
    if (!initialFolder.isEmpty())
        dialog.setDirectory(initialFolder);
    if (!initialName.isEmpty())
        dialog.selectFile(initialName);
    // QFileDialog asks before overwriting by default; answering no keeps the dialog open.
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    chosen = dialog.selectedFiles().first();
    return true;
}
