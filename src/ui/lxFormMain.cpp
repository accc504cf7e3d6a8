#include "ui/lxFormMain.h"

#include "base/IShell.h"
#include "base/lxFileUtils.h"
#include "info/lxInfo.h"
#include "project/lxProject.h"
#include "project/lxShellDialogs.h"
#include "ui/QtShellDialogs.h"
#include "ui/lxFormCfg.h"
#include "ui/lxImageList.h"
#include "ui/lxPreviewPane.h"
#include "ui/lxResultModel.h"
#include "ui/lxToggleAction.h"
#include "ui/lxVorlaneAbout.h"

#include "ui_TLXFRMMAIN.h"

#include <QFileInfo>
#include <QHeaderView>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QSplitter>

#include <exception>

TlxFrmMain *lxFrmMain = nullptr;

namespace {
QChar pathDelim() {
    return lxProject ? lxProject->PathDelim : QChar(u'/');
}
} // namespace

template <class F> void TlxFrmMain::guarded(F &&handler) {
    try {
        handler();
    } catch (const std::exception &error) {
        ReportError(error);
    } catch (...) {
        TlxInfo::DispatchUnhandled(QStringLiteral("Unknown error"));
    }
}

TlxFrmMain::TlxFrmMain(QWidget *parent) : TlxFrmBase<QMainWindow>(parent), ui(std::make_unique<Ui::TlxFrmMain>()) {
    ui->setupUi(this);
    if (!lxFrmMain)
        lxFrmMain = this;

    bindWidgets();
    buildRunButtons();
    buildResultList();
    buildToolBar();
    buildPreview();
    buildMenus();
    buildStatusBar();
    alignRows();

    eSource->installEventFilter(this);
    eTarget->installEventFilter(this);

    connectActions();
    FormCreate();
}

// The form's widgets under the names the rest of the window uses.
void TlxFrmMain::bindWidgets() {
    pAction = ui->pAction;
    pSource = ui->pSource;
    pTarget = ui->pTarget;
    pOthers = ui->pOthers;
    pSpacer = ui->pSpacer;
    pViewer = ui->pViewer;
    eSource = ui->eSource;
    eTarget = ui->eTarget;
    bSource = ui->bSource;
    bSourceFile = ui->bSourceFile;
    bTarget = ui->bTarget;
    cSubdir = ui->cSubdir;
    bSearch = ui->bSearch;
    bView = ui->bView;
    bSearchConvert = ui->bSearchConvert;
    bCreate = ui->bCreate;
    lViewer = ui->lViewer;
    ToolBar = ui->ToolBar;
    aConvert = ui->aConvert;
    aStop = ui->aStop;
    aOpen = ui->aOpen;
    aNew = ui->aNew;
    aConfig = ui->aConfig;
    aSave = ui->aSave;
    aSaveAs = ui->aSaveAs;
    aUpdate = ui->aUpdate;
    aHelp = ui->aHelp;
    aHomePage = ui->aHomePage;
    aSupports = ui->aSupports;
    aAbout = ui->aAbout;
    aSearch = ui->aSearch;
    aView = ui->aView;
    aSearchConvert = ui->aSearchConvert;
    aPause = ui->aPause;
}

void TlxFrmMain::connectActions() {
    connect(bSource, &QPushButton::clicked, this, &TlxFrmMain::bSourceClick);
    connect(bSourceFile, &QPushButton::clicked, this, &TlxFrmMain::bSourceFileClick);
    connect(bTarget, &QPushButton::clicked, this, &TlxFrmMain::bTargetClick);
    connect(aView, &QAction::triggered, this, &TlxFrmMain::aViewExecute);
    connect(aNew, &QAction::triggered, this, &TlxFrmMain::aNewExecute);
    connect(aOpen, &QAction::triggered, this, &TlxFrmMain::aOpenExecute);
    connect(aSave, &QAction::triggered, this, &TlxFrmMain::aSaveExecute);
    connect(aSaveAs, &QAction::triggered, this, &TlxFrmMain::aSaveAsExecute);
    connect(aConfig, &QAction::triggered, this, &TlxFrmMain::aConfigExecute);
    connect(aHelp, &QAction::triggered, this, &TlxFrmMain::aHelpExecute);
    connect(aHomePage, &QAction::triggered, this, &TlxFrmMain::aHomePageExecute);
    connect(aSupports, &QAction::triggered, this, &TlxFrmMain::aSupportsExecute);
    connect(aUpdate, &QAction::triggered, this, &TlxFrmMain::aUpdateExecute);
    connect(aAbout, &QAction::triggered, this, &TlxFrmMain::aAboutExecute);
    connect(aSearch, &QAction::triggered, this, &TlxFrmMain::aSearchExecute);
    connect(aConvert, &QAction::triggered, this, &TlxFrmMain::aConvertExecute);
    connect(aSearchConvert, &QAction::triggered, this, &TlxFrmMain::aSearchConvertExecute);
    connect(aPause, &QAction::triggered, this, &TlxFrmMain::aPauseExecute);
    connect(aStop, &QAction::triggered, this, &TlxFrmMain::aStopExecute);
}

TlxFrmMain::~TlxFrmMain() {
    FormDestroy();
    if (lxFrmMain == this)
        lxFrmMain = nullptr;
}

void TlxFrmMain::buildToolBar() {
    struct Button {
        QAction *action;
        int image;
        QToolButton **button;
        const char *name;
    };
    const Button buttons[] = {
        {aOpen, TlxImageList::Open, &tbOpen, "tbOpen"},
        {aNew, TlxImageList::New, &tbNew, "tbNew"},
        {aConfig, TlxImageList::Config, &tbConfig, "tbConfig"},
        {aSave, TlxImageList::Save, &tbSave, "tbSave"},
        {aSaveAs, TlxImageList::SaveAs, &tbSaveAs, "tbSaveAs"},
        {aUpdate, TlxImageList::Update, &tbUpdate, "tbUpdate"},
        {aHelp, TlxImageList::Help, &tbHelp, "tbHelp"},
        {aHomePage, TlxImageList::HomePage, &tbHomePage, "tbHomePage"},
        {aSupports, TlxImageList::Supports, &tbSupports, "tbSupports"},
        {aAbout, TlxImageList::About, &tbAbout, "tbAbout"},
    };
    for (const Button &b : buttons) {
        b.action->setIcon(TlxImageList::Icon(b.image));
        *b.button = qobject_cast<QToolButton *>(ToolBar->widgetForAction(b.action));
        if (*b.button)
            (*b.button)->setObjectName(QLatin1String(b.name));
    }
    // The two separators, in tool bar order.
    int separator = 0;
    for (QAction *action : ToolBar->actions()) {
        if (!action->isSeparator())
            continue;
        QAction *&slot = separator == 0 ? tb1 : tb2;
        slot = action;
        action->setObjectName(separator == 0 ? QStringLiteral("tb1") : QStringLiteral("tb2"));
        if (++separator == 2)
            break;
    }
}

void TlxFrmMain::buildPreview() {
    aPreview = new TlxToggleAction(this);
    aPreview->setObjectName(QStringLiteral("aPreview"));
    aPreview->setText(tr("Preview"));
    aPreview->setToolTip(tr("Show the slides of the selected file"));
    aPreview->setIcon(TlxImageList::Icon(TlxImageList::Preview));
    ToolBar->insertAction(tb1, aPreview);
    tbPreview = qobject_cast<QToolButton *>(ToolBar->widgetForAction(aPreview));
    if (tbPreview)
        tbPreview->setObjectName(QStringLiteral("tbPreview"));

    // The list and the pane share the list's frame, the pane to the right.
    m_split = new QSplitter(Qt::Horizontal, pViewer);
    m_split->setObjectName(QStringLiteral("sPreview"));
    m_split->setChildrenCollapsible(false);
    pViewer->layout()->removeWidget(lViewer);
    m_split->addWidget(lViewer);
    m_preview = new TlxPreviewPane(m_split);
    m_preview->setMinimumWidth(TlxPreviewCache::kWidth);
    m_split->addWidget(m_preview);
    m_split->setStretchFactor(0, 1);
    m_split->setStretchFactor(1, 1);
    pViewer->layout()->addWidget(m_split);
    m_preview->setVisible(false);
    connect(aPreview, &QAction::toggled, this, [this](bool on) {
        m_preview->setVisible(on);
        updatePreview();
    });
    connect(lViewer->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &) { updatePreview(); });
    // A selected row that changes (converted, failed) is shown anew; other updates leave the pane alone.
    connect(m_results, &TlxResultModel::RowsUpdated, this, [this] {
        const int row = lViewer->currentIndex().row();
        if (m_preview->isVisible() && row >= 0 && row < m_results->rowCount() &&
            (row != m_previewRow || m_results->RowStatus(row) != m_previewStatus))
            updatePreview();
    });
}

void TlxFrmMain::updatePreview() {
    const int row = lViewer->currentIndex().row();
    m_previewRow = row;
    if (!m_preview->isVisible() || row < 0 || row >= m_results->rowCount()) {
        m_previewStatus = -1;
        m_preview->Clear();
        return;
    }
    m_previewStatus = m_results->RowStatus(row);
    const QString source = m_results->RowFile(row);
    m_preview->ShowRow(m_previewStatus, source, m_results->RowHasResult(row) ? m_results->RowResult(row) : QString(),
                       m_previews ? m_previews->Entries(source) : QList<TlxPreviewCache::Entry>());
}

void TlxFrmMain::buildMenus() {
    pm2 = new QMenu(this);
    pm2->setObjectName(QStringLiteral("pm2"));
    connect(pm2, &QMenu::aboutToShow, this, &TlxFrmMain::pm2Popup);
    connect(pm2, &QMenu::triggered, this, &TlxFrmMain::RecentProjectClick);
    if (tbOpen) {
        tbOpen->setMenu(pm2);
        tbOpen->setPopupMode(QToolButton::MenuButtonPopup);
    }

    pm1 = new QMenu(this);
    pm1->setObjectName(QStringLiteral("pm1"));
    auto addItem = [this](QAction *&item, const char *name, const QString &caption) {
        item = caption == QLatin1String("-") ? pm1->addSeparator() : pm1->addAction(caption);
        item->setObjectName(QLatin1String(name));
    };
    addItem(BrowseFiles1, "BrowseFiles1", QStringLiteral("Browse Files"));
    addItem(N1, "N1", QStringLiteral("-"));
    addItem(ViewSource1, "ViewSource1", QStringLiteral("View  Source"));
    addItem(OpenSource1, "OpenSource1", QStringLiteral("Open Source"));
    addItem(N2, "N2", QStringLiteral("-"));
    addItem(ViewOutput1, "ViewOutput1", QStringLiteral("View  Output"));
    addItem(N3, "N3", QStringLiteral("-"));
    addItem(ExportList1, "ExportList1", QStringLiteral("Export the List"));
    connect(BrowseFiles1, &QAction::triggered, this, &TlxFrmMain::bSourceFileClick);
    connect(ViewSource1, &QAction::triggered, this, &TlxFrmMain::ViewSource1Click);
    connect(OpenSource1, &QAction::triggered, this, &TlxFrmMain::OpenSource1Click);
    connect(ViewOutput1, &QAction::triggered, this, &TlxFrmMain::aViewExecute);
    connect(ExportList1, &QAction::triggered, this, &TlxFrmMain::ExportList1Click);
    connect(pm1, &QMenu::aboutToShow, this, &TlxFrmMain::pm1Popup);
    connect(lViewer, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { pm1->popup(lViewer->viewport()->mapToGlobal(pos)); });
}

// The two rows line up in columns: labels, edits, then buttons of equal width one above the other.
void TlxFrmMain::alignRows() {
    const QList<QList<QWidget *>> columns = {{ui->eSourceLabel, ui->eTargetLabel},
                                             {bSource, bTarget},
                                             {bSourceFile, bView},
                                             {cSubdir, bSearchConvert},
                                             {bSearch, bCreate}};
    int height = 0;
    for (QWidget *w :
         {static_cast<QWidget *>(bSource), static_cast<QWidget *>(bSearch), static_cast<QWidget *>(eSource)})
        height = qMax(height, w->sizeHint().height());
    for (const QList<QWidget *> &column : columns) {
        int width = 0;
        for (QWidget *w : column)
            width = qMax(width, w->sizeHint().width());
        // Room for the longest caption a run swaps in ("Pause", "Stop").
        width = qMax(width, fontMetrics().horizontalAdvance(QStringLiteral("Convert")) + 24);
        for (QWidget *w : column) {
            w->setFixedWidth(width);
            if (w != ui->eSourceLabel && w != ui->eTargetLabel && w != cSubdir)
                w->setFixedHeight(height);
        }
    }
    ui->eSourceLabel->setFixedWidth(qMax(ui->eSourceLabel->sizeHint().width(), ui->eTargetLabel->sizeHint().width()));
    ui->eTargetLabel->setFixedWidth(ui->eSourceLabel->width());
}

void TlxFrmMain::SetButtonAction(QToolButton *button, QAction *action) {
    button->setDefaultAction(action);
    button->setVisible(action->isVisible());
}

// ---------------------------------------------------------------- creation, show, destruction

void TlxFrmMain::RegisterBoundControls() {
    if (!lxProject)
        return;
    lxProject->BindControl(eSource);
    lxProject->BindControl(cSubdir);
    lxProject->BindControl(eTarget);
    lxProject->BindControl(aPreview);
}

void TlxFrmMain::FormCreate() {
    // Real dialogs unless a caller (a test) has installed its own.
    if (!IShellDialogs::current()) {
        m_dialogs = std::make_unique<QtShellDialogs>(this);
        IShellDialogs::install(m_dialogs.get());
    }
    RegisterBoundControls();
    guarded([] {
        if (lxProject)
            lxProject->OpenStartupProject();
    });
    UpdateTitle();
    // Files dropped anywhere on the window reach dropEvent, which looks at the control under the drop point;
    // the edits would otherwise take a dropped file as text themselves.
    eSource->setAcceptDrops(false);
    eTarget->setAcceptDrops(false);
    setAcceptDrops(true);
}

void TlxFrmMain::FormShow() {
    if (!FShownOnce) {
        FShownOnce = true;
        AutoRun();
    }
}

void TlxFrmMain::FormDestroy() {
    setAcceptDrops(false);
    finishRunBeforeDestroy();
    // The field is cleared first, then the batch destroyed (its search thread is stopped and joined).
    std::shared_ptr<TlxBatch> batch;
    batch.swap(FBatch);
    batch.reset();
    // The slides' pictures of this window's runs go with it.
    m_previews.reset();
    if (lxProject)
        lxProject->UnbindControls();
    if (m_dialogs && IShellDialogs::current() == m_dialogs.get())
        IShellDialogs::install(nullptr);
}

void TlxFrmMain::showEvent(QShowEvent *event) {
    TlxFrmBase<QMainWindow>::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

bool TlxFrmMain::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::MouseButtonDblClick) {
        if (watched == eSource) {
            bSourceFileClick();
            return true;
        }
        if (watched == eTarget) {
            bTargetClick();
            return true;
        }
    }
    return TlxFrmBase<QMainWindow>::eventFilter(watched, event);
}

// ---------------------------------------------------------------- title, folders, view

void TlxFrmMain::UpdateTitle() {
    const QString title = lxProject ? lxProject->Title : QString();
    const QString file = lxProject ? lxProject->FileName : QString();
    setWindowTitle(title + QStringLiteral(" - ") + (file.isEmpty() ? QStringLiteral("None") : file));
}

void TlxFrmMain::TargetFollowsSource(const QString &folder) {
    if (lxProject && lxProject->AutoTarget && eTarget->text().isEmpty())
        eTarget->setText(folder);
}

void TlxFrmMain::bSourceClick() {
    const QString chosen = BrowseForFolder(TlxFileUtils::FolderPart(eSource->text()));
    QString folder = chosen;
    if (!folder.endsWith(pathDelim()))
        folder += pathDelim();
    eSource->setText(folder + (lxProject ? lxProject->SourceMask : QString()));
    // A cancelled dialog over an empty source gives the root folder as the source; it must not become the
    // target as well, where a run would write into the root of the file system.
    if (!chosen.isEmpty())
        TargetFollowsSource(folder);
}

void TlxFrmMain::bTargetClick() {
    QString folder = BrowseForFolder(eTarget->text());
    // Cancelling over an empty target keeps it empty instead of making it the root folder.
    if (folder.isEmpty())
        return;
    if (!folder.endsWith(pathDelim()))
        folder += pathDelim();
    eTarget->setText(folder);
}

void TlxFrmMain::aViewExecute() {
    if (!eTarget->text().isEmpty())
        IShell::current()->Open(eTarget->text());
    else
        eTarget->setFocus();
}

// ---------------------------------------------------------------- project actions

void TlxFrmMain::aNewExecute() {
    guarded([] { lxProject->NewProject(); });
    UpdateTitle();
}

void TlxFrmMain::aOpenExecute() {
    guarded([] { lxProject->OpenProject(true); });
    UpdateTitle();
}

void TlxFrmMain::aSaveExecute() {
    guarded([] { lxProject->SaveProject(); });
    UpdateTitle();
}

void TlxFrmMain::aSaveAsExecute() {
    guarded([] { lxProject->SaveProjectAs(); });
    UpdateTitle();
}

void TlxFrmMain::aConfigExecute() {
    if (!m_frmCfg)
        m_frmCfg = new TlxFrmCfg(this);
    m_frmCfg->exec();
    UpdateTitle();
}

void TlxFrmMain::pm2Popup() {
    pm2->clear();
    if (!lxProject)
        return;
    for (const QString &file : std::as_const(lxProject->RecentFiles)) {
        // "&" is doubled so that the menu shows the path as it is instead of taking a letter as a shortcut.
        QAction *item = pm2->addAction(QString(file).replace(u'&', QStringLiteral("&&")));
        item->setData(file);
        item->setEnabled(QFileInfo(file).isFile());
    }
}

void TlxFrmMain::RecentProjectClick(QAction *item) {
    if (!item || !item->isEnabled() || !lxProject)
        return;
    lxProject->FileName = item->data().toString();
    guarded([] { lxProject->OpenProject(false); });
    UpdateTitle();
}

// ---------------------------------------------------------------- links

void TlxFrmMain::aHelpExecute() {
    if (!lxInfo)
        return;
    lxInfo->OpenLink(QStringLiteral("h"), {}, {});
    guarded([] { lxInfo->UpdateStat(QStringLiteral("H"), 0, 1); });
}

void TlxFrmMain::aHomePageExecute() {
    if (lxInfo)
        lxInfo->OpenLink({}, {}, {});
}

void TlxFrmMain::aSupportsExecute() {
    if (lxInfo)
        lxInfo->OpenLink(QStringLiteral("supports"), {}, {});
}

void TlxFrmMain::aUpdateExecute() {
    if (lxInfo)
        lxInfo->OpenLink(QStringLiteral("download"), {}, {});
}

void TlxFrmMain::aAboutExecute() {
    if (lxFrmVorlaneAbout)
        lxFrmVorlaneAbout->ShowAbout();
}
