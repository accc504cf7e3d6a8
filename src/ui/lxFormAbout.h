#pragma once

#include "ui/lxFormBase.h"

#include <QDialog>

class QLabel;

// The About window: borderless, translucent, product name and version over the product colour. Any click or
// key closes it once it has been shown. Its first ShowAbout (at start-up) shows nothing: it only hides the main
// window for good when the project runs as a pure console project.
class TlxFrmAbout : public TlxFrmBase<QDialog> {
    Q_OBJECT

public:
    // mainForm: the window that the start-up call hides for a console project; also the owner.
    explicit TlxFrmAbout(QWidget *mainForm = nullptr);

    QLabel *img = nullptr;
    QLabel *lblProduct = nullptr;
    QLabel *lblVersion = nullptr;
    QLabel *lblCopright = nullptr;

    // How many times ShowAbout and the window's own show have run; 0 before the start-up call.
    int FShowCount = 0;

    // The start-up call (FShowCount 0) hides the main window of a "PureConsole" project; later calls show the
    // window modally.
    void ShowAbout();

    // The one-line notice of the maker.
    static QString Notice();

protected:
    using SetupForm = void (*)(QDialog *form);
    // For descendants that bring their own form (the same components, other placement or picture).
    TlxFrmAbout(QWidget *mainForm, SetupForm setup);

    void FormShow();
    void FormClick();
    void FormKeyPress(QKeyEvent *event);

    void showEvent(QShowEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void init();

    QWidget *m_mainForm = nullptr;
};
