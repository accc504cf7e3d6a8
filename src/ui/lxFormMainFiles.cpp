// The main window's other ways of filling the list (chosen and dropped files), the list menu and the export.
#include "ui/lxFormMain.h"

#include "base/IShell.h"
#include "base/lxFileUtils.h"
#include "engine/lxBatch.h"
#include "info/lxInfo.h"
#include "project/lxProject.h"
#include "project/lxShellDialogs.h"
#include "ui/lxResultModel.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QStatusBar>
#include <QTreeView>
#include <QUrl>

namespace {
// Blanks and control characters removed at both ends.
QString trimmed(const QString &text) {
    qsizetype begin = 0, end = text.size();
    while (begin < end && text.at(begin) <= u' ')
        ++begin;
    while (end > begin && text.at(end - 1) <= u' ')
        --end;
    return text.mid(begin, end - begin);
}
} // namespace

void TlxFrmMain::bSourceFileClick() {
    QString answer = eSource->text();
    if (!OpenFileDialog(lxProject->SourceFilter, answer, true))
        return;
    QString rest = trimmed(answer);
    if (!rest.contains(u'\n'))
        eSource->setText(rest);
    NewBatch();
    while (!rest.isEmpty()) {
        const qsizetype lf = rest.indexOf(u'\n');
        const QString name = trimmed(lf < 0 ? rest : rest.left(lf));
        if (!name.isEmpty())
            ListFile(name);
        rest = lf < 0 ? QString() : trimmed(rest.mid(lf));
    }
}

void TlxFrmMain::pm1Popup() {
    const bool selected = lViewer->selectionModel() && lViewer->selectionModel()->hasSelection();
    OpenSource1->setEnabled(selected);
    ViewSource1->setEnabled(selected);
}

void TlxFrmMain::OpenSelectedSource(bool folderOnly) {
    QItemSelectionModel *selection = lViewer->selectionModel();
    if (!selection)
        return;
    const QModelIndexList rows = selection->selectedRows(TlxResultModel::ColFile);
    if (rows.isEmpty())
        return;
    int first = rows.first().row();
    for (const QModelIndex &index : rows)
        first = qMin(first, index.row());
    const QString file = Results()->RowFile(first);
    IShell::current()->Open(folderOnly ? TlxFileUtils::FolderPart(file) : file);
}

void TlxFrmMain::ViewSource1Click() {
    OpenSelectedSource(true);
}

void TlxFrmMain::OpenSource1Click() {
    OpenSelectedSource(false);
}

void TlxFrmMain::ExportList1Click() {
    QString fileName;
    if (!SaveFileDialog(QStringLiteral("Log File|*.log"), QStringLiteral(".log"), fileName))
        return;
    try {
        SaveListToFile(fileName);
    } catch (const std::exception &error) {
        ReportError(error);
    }
}

void TlxFrmMain::dragEnterEvent(QDragEnterEvent *event) {
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void TlxFrmMain::dropEvent(QDropEvent *event) {
    QStringList paths;
    for (const QUrl &url : event->mimeData()->urls()) {
        if (url.isLocalFile())
            paths << url.toLocalFile().left(1023);
    }
    event->acceptProposedAction();
    DropFiles(childAt(event->position().toPoint()), paths);
}

void TlxFrmMain::DropFiles(QWidget *target, const QStringList &paths) {
    // The list's viewport and the edits' inner parts count as the controls themselves.
    QWidget *control = nullptr;
    for (QWidget *w = target; w && w != this; w = w->parentWidget()) {
        if (w == lViewer || w == eSource || w == eTarget) {
            control = w;
            break;
        }
    }
    if (!control || paths.isEmpty())
        return;
    bool listReplaced = false;
    for (const QString &path : paths) {
        if (paths.size() == 1 && lxProject->IsProjectFile(path)) {
            lxProject->FileName = path;
            lxProject->OpenProject(false);
            UpdateTitle();
            return;
        }
        if (auto *edit = qobject_cast<QLineEdit *>(control)) {
            edit->setText(path);
            TargetFollowsSource(TlxFileUtils::FolderPart(path));
            return;
        }
        if (!listReplaced) {
            NewBatch();
            listReplaced = true;
        }
        ListFile(path);
    }
}

void TlxFrmMain::ReportError(const std::exception &error) {
    // Shown where the user looks, and reported like every error that reaches the window.
    statusBar()->showMessage(QString::fromLocal8Bit(error.what()), 15000);
    if (lxInfo)
        lxInfo->HandleException(this, error);
}
