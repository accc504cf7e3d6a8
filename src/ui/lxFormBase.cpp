#include "ui/lxFormBase.h"

#include "ui_TLXFRMBASE.h"

#include <QGuiApplication>

namespace lxFormBase {

void Apply(QWidget *form) {
    const QString name = form->objectName();
    Ui::TlxFrmBase ui;
    ui.setupUi(form);
    form->setObjectName(name); // the window's own form names it
}

void CenterOnScreen(QWidget *form) {
    QScreen *screen = form->screen() ? form->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame = form->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    form->move(frame.topLeft());
}

} // namespace lxFormBase
