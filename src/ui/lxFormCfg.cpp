#include "ui/lxFormCfg.h"

#include "base/lxOutputOptions.h"
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
    // The output options are shown with their defaults when the project has none of its own, so that a user
    // sees what can be changed.
    QStringList lines = lxProject->Options();
    for (const QString &line : TlxOutputOptions::DefaultLines())
        if (lxProject->GetOption(line.section(u'=', 0, 0)).isEmpty())
            lines << line;
    txtCfg->setPlainText(lines.join(u'\n'));
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
