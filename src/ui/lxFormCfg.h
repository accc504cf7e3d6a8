#pragma once

#include "ui/lxFormBase.h"

#include <QDialog>

#include <memory>

class QPlainTextEdit;
class QPushButton;
namespace Ui {
class TlxFrmCfg;
}

// The Config dialog: the project's options as editable text, one "name=value" per line. Ok replaces the option
// list with the text as it stands (not validated, not sorted) and refreshes the main window's bound controls;
// Cancel changes nothing. The project file is written only by Save.
class TlxFrmCfg : public TlxFrmBase<QDialog> {
    Q_OBJECT

public:
    explicit TlxFrmCfg(QWidget *parent = nullptr);
    ~TlxFrmCfg() override;

    QPlainTextEdit *txtCfg = nullptr;
    QPushButton *btnOk = nullptr, *btnCancel = nullptr, *btnHelp = nullptr;

public slots:
    void btnOkClick();
    void btnHelpClick();

protected:
    void FormShow();
    void showEvent(QShowEvent *event) override;

private:
    std::unique_ptr<Ui::TlxFrmCfg> ui;
};
