#include "ui/lxVorlaneAbout.h"

#include "ui/lxImageList.h"

#include "ui_TLXFRMVORLANEABOUT.h"

#include <QLabel>

TlxFrmVorlaneAbout *lxFrmVorlaneAbout = nullptr;

namespace {
void setupVorlaneAboutForm(QDialog *form) {
    Ui::TlxFrmVorlaneAbout ui;
    ui.setupUi(form);
    ui.img->setPixmap(TlxImageList::ProductPicture(128));
}
} // namespace

TlxFrmVorlaneAbout::TlxFrmVorlaneAbout(QWidget *mainForm) : TlxFrmAbout(mainForm, &setupVorlaneAboutForm) {}
