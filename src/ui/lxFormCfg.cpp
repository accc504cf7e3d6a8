#include "ui/lxFormCfg.h"

#include "info/lxInfo.h"
#include "project/lxProject.h"

#include "ui_TLXFRMCFG.h"

#include <QPlainTextEdit>
#include <QPushButton>

TlxFrmCfg::TlxFrmCfg(QWidget *parent)
    : TlxFrmBase<QDialog>(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                                      Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      ui(std::make_unique<Ui::TlxFrmCfg>()) {
    ui->setupUi(this);
    txtCfg = ui->txtCfg;
    btnOk = ui->btnOk;
    btnCancel = ui->btnCancel;
    btnHelp = ui->btnHelp;
    // Fixed size, as small as the layout allows around the 292 by 273 design.
    setFixedSize(QSize(292, 273).expandedTo(minimumSizeHint()));
    connect(btnOk, &QPushButton::clicked, this, &TlxFrmCfg::btnOkClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnHelp, &QPushButton::clicked, this, &TlxFrmCfg::btnHelpClick);
}

TlxFrmCfg::~TlxFrmCfg() = default;

void TlxFrmCfg::showEvent(QShowEvent *event) {
    TlxFrmBase<QDialog>::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TlxFrmCfg::FormShow() {
    if (!lxProject)
        return;
    lxProject->StoreOptions(false);
    txtCfg->setPlainText(lxProject->Options().join(u'\n'));
    txtCfg->setFocus();
}

void TlxFrmCfg::btnOkClick() {
    if (lxProject) {
        lxProject->SetOptionsText(txtCfg->toPlainText());
        lxProject->OptionsToControls();
    }
    accept();
}

void TlxFrmCfg::btnHelpClick() {
    if (lxInfo)
        lxInfo->OpenLink(QStringLiteral("h"), {}, {});
}
