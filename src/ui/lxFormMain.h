#pragma once

#include "ui/lxFormBase.h"

#include <QMainWindow>

#include <exception>
#include <memory>

class QAction;
class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QToolBar;
class QToolButton;
class QTreeView;
class QLabel;
class QProgressBar;
class QTimer;
class TlxBatch;
class TlxConvertor;
class TlxNode;
class TlxResultModel;
class QWidget;
class QtShellDialogs;
class TlxFrmCfg;
class TlxPreviewCache;
class TlxPreviewPane;
class TlxToggleAction;
class QSplitter;
namespace Ui {
class TlxFrmMain;
}

// The main window: tool bar, the source and target rows bound to the project's "Source", "Subdir" and "Target",
// and the result list. This file holds the window itself, its project and link actions; the run half (search,
// convert, pause, stop, filling the result list, unattended runs) and the other ways of filling the list (chosen
// files, drag and drop, the list menu and its export) are added to the same class in the sections marked below.
class TlxFrmMain : public TlxFrmBase<QMainWindow> {
    Q_OBJECT

public:
    explicit TlxFrmMain(QWidget *parent = nullptr);
    ~TlxFrmMain() override;

    // --- components (names as in the form) ---
    QToolBar *ToolBar = nullptr;
    QToolButton *tbOpen = nullptr, *tbNew = nullptr, *tbConfig = nullptr, *tbSave = nullptr, *tbSaveAs = nullptr,
                *tbUpdate = nullptr, *tbHelp = nullptr, *tbHomePage = nullptr, *tbSupports = nullptr,
                *tbAbout = nullptr;
    QAction *tb1 = nullptr, *tb2 = nullptr; // separators
    QFrame *pAction = nullptr, *pViewer = nullptr;
    QWidget *pSource = nullptr, *pTarget = nullptr, *pOthers = nullptr, *pSpacer = nullptr;
    QLineEdit *eSource = nullptr, *eTarget = nullptr;
    QPushButton *bSource = nullptr, *bSourceFile = nullptr, *bTarget = nullptr;
    QCheckBox *cSubdir = nullptr;
    QToolButton *bSearch = nullptr, *bView = nullptr, *bSearchConvert = nullptr, *bCreate = nullptr;
    QTreeView *lViewer = nullptr;
    QAction *aConvert = nullptr, *aStop = nullptr, *aOpen = nullptr, *aNew = nullptr, *aConfig = nullptr,
            *aSave = nullptr, *aSaveAs = nullptr, *aUpdate = nullptr, *aHelp = nullptr, *aHomePage = nullptr,
            *aSupports = nullptr, *aAbout = nullptr, *aSearch = nullptr, *aView = nullptr, *aSearchConvert = nullptr,
            *aPause = nullptr;
    TlxToggleAction *aPreview = nullptr; // shows and hides the preview pane; the project keeps it as "Preview"
    QToolButton *tbPreview = nullptr;
    QMenu *pm1 = nullptr; // the result list's context menu
    QMenu *pm2 = nullptr; // the recent projects under tbOpen
    QAction *BrowseFiles1 = nullptr, *N1 = nullptr, *ViewSource1 = nullptr, *OpenSource1 = nullptr, *N2 = nullptr,
            *ViewOutput1 = nullptr, *N3 = nullptr, *ExportList1 = nullptr;

    // The window has been shown once; only the first show starts an unattended run.
    bool FShownOnce = false;

    // ---------------------------------------------------------------- run fields
    // The current file list; replaced by NewBatch. Shared with the run that converts it, so a list replaced during
    // a run stays alive until that run's last worker has ended.
    std::shared_ptr<TlxBatch> FBatch;
    std::shared_ptr<TlxConvertor> FConvertor; // head of the current run's chain
    int FWorkersLeft = 0;
    bool FStopRequested = false;
    TlxResultModel *Results() const { return m_results; }
    // A run is under way: workers have been started and not all have reported their end.
    bool Running() const { return m_runBatch != nullptr; }
    // An unattended "Daemon" project is waiting to run again.
    bool DaemonWaiting() const;

    // Replaces the batch by a fresh, empty one and empties the list.
    void NewBatch();
    // Adds a file to the batch by name (the batch's filter decides); the folder may become the target.
    void ListFile(const QString &name);
    // Writes the list as "[Status] => file => result" lines, CR LF, replacing the file; throws on failure.
    void SaveListToFile(const QString &fileName);
    // End of a run, and of a Search or Convert that found nothing to do: log, close or repeat when unattended.
    void RunEnded();
    // One worker has ended (GUI thread); the last one ends the run.
    void OnFinish();
    // Files dropped on a control: the list takes them as a new list, an edit takes the first; a single project
    // file opens that project. Controls other than the list and the two edits ignore the drop.
    void DropFiles(QWidget *target, const QStringList &paths);
    // Cuts a target text back to a folder: wildcards and an existing file's name go. Always ends; may give "".
    static QString TidyTarget(QString target);
    // Shows an error in the status bar and hands it to the product information's error report.
    void ReportError(const std::exception &error);
    // Opens the selected row's source file, or its folder.
    void OpenSelectedSource(bool folderOnly);

    // Hands eSource, cSubdir, eTarget and aPreview, in this order, to the project's binding.
    virtual void RegisterBoundControls();
    // "Quillon Converter - " and the project file name, or "None".
    void UpdateTitle();
    // With the project's AutoTarget and an empty target, the target becomes the folder.
    void TargetFollowsSource(const QString &folder);
    // Gives a button an action (the run swaps Convert/Pause and Start/Stop); the button shows while its action is
    // visible and keeps its place in the row while hidden.
    void SetButtonAction(QToolButton *button, QAction *action);
    // The pane beside the list that shows the selected row's slides.
    TlxPreviewPane *Preview() const { return m_preview; }
    // The pictures of this window's runs; none before the first run that makes them.
    std::shared_ptr<TlxPreviewCache> Previews() const { return m_previews; }
    // The Config dialog, made at its first use and kept.
    TlxFrmCfg *FrmCfg() const { return m_frmCfg; }

public slots:
    void bSourceClick();
    void bTargetClick();
    void aViewExecute();
    void aNewExecute();
    void aOpenExecute();
    void aSaveExecute();
    void aSaveAsExecute();
    void aConfigExecute();
    void pm2Popup();
    void RecentProjectClick(QAction *item);
    void aHelpExecute();
    void aHomePageExecute();
    void aSupportsExecute();
    void aUpdateExecute();
    void aAboutExecute();

    // ---------------------------------------------------------------- run half (search, convert, pause, stop)
    // Starts Convert when the project is unattended; called at the first show.
    void AutoRun();
    void aSearchExecute();
    void aConvertExecute();
    void aSearchConvertExecute();
    void aPauseExecute();
    void aStopExecute();

    // ---------------------------------------------------------------- file list input and export
    void bSourceFileClick();
    void pm1Popup();
    void ViewSource1Click();
    void OpenSource1Click();
    void ExportList1Click();

protected:
    void FormCreate();
    void FormDestroy();
    void FormShow();

    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    // Dropped files (file list input): the control under the drop point decides.
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildStatusBar();
    void updateStatusBar();
    // The batch's OnNode and the workers' OnNodeDone, for the list generation they were made for.
    void attachBatch(TlxBatch *batch, quint64 generation);
    void postNode(quint64 generation, TlxNode *node, bool converted);
    void startRun();
    void endDaemonWait();
    // Stops a run in progress and serves its workers' ends, so that none outlives the window.
    void finishRunBeforeDestroy();

    TlxResultModel *m_results = nullptr;
    QLabel *m_statusText = nullptr;
    QProgressBar *m_progress = nullptr;
    QTimer *m_daemonTimer = nullptr;
    std::shared_ptr<TlxBatch> m_runBatch; // the batch the running workers use
    bool m_closeWhenIdle = false;

    void bindWidgets();
    void buildRunButtons();
    void buildResultList();
    void connectActions();
    void buildToolBar();
    void buildPreview();
    void updatePreview();
    void buildMenus();
    void alignRows();
    // Runs a handler; an error reaching the window goes to the product information's error report.
    template <class F> void guarded(F &&handler);

    std::unique_ptr<Ui::TlxFrmMain> ui;
    std::unique_ptr<QtShellDialogs> m_dialogs;
    TlxFrmCfg *m_frmCfg = nullptr;
    QSplitter *m_split = nullptr;
    TlxPreviewPane *m_preview = nullptr;
    int m_previewRow = -1, m_previewStatus = -1; // the row the pane shows, as it was
    std::shared_ptr<TlxPreviewCache> m_previews;
};

// The program's main window while the windowed program runs.
extern TlxFrmMain *lxFrmMain;
