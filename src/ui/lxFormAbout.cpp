#include "ui/lxFormAbout.h"

#include "project/lxProject.h"

#include "ui_TLXFRMABOUT.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>

namespace {
void setupAboutForm(QDialog *form) {
    Ui::TlxFrmAbout ui;
    ui.setupUi(form);
}

const Qt::WindowFlags kAboutFlags = Qt::Dialog | Qt::FramelessWindowHint;
} // namespace

TlxFrmAbout::TlxFrmAbout(QWidget *mainForm) : TlxFrmAbout(mainForm, &setupAboutForm) {}

TlxFrmAbout::TlxFrmAbout(QWidget *mainForm, SetupForm setup)
    : TlxFrmBase<QDialog>(mainForm, kAboutFlags), m_mainForm(mainForm) {
    setup(this);
    init();
}

void TlxFrmAbout::init() {
    img = findChild<QLabel *>(QStringLiteral("img"));
    lblProduct = findChild<QLabel *>(QStringLiteral("lblProduct"));
    lblVersion = findChild<QLabel *>(QStringLiteral("lblVersion"));
    lblCopright = findChild<QLabel *>(QStringLiteral("lblCopright"));
    setFixedSize(472, 243);
    setWindowOpacity(200.0 / 255.0);
    setAttribute(Qt::WA_StyledBackground);
    // Sizes are given in pixels so the window's layout holds whatever the desktop's font resolution is.
    for (QLabel *label : findChildren<QLabel *>()) {
        const QVariant pixels = label->property("pixelSize");
        if (pixels.isValid()) {
            QFont font = label->font();
            font.setFamilies({QStringLiteral("Verdana"), QStringLiteral("DejaVu Sans")});
            font.setPixelSize(pixels.toInt());
            label->setFont(font);
        }
        label->installEventFilter(this);
    }
    if (lblCopright)
        lblCopright->setText(Notice());
}

QString TlxFrmAbout::Notice() {
    return QStringLiteral("\u00A9 Quillon. All rights reserved.");
}

void TlxFrmAbout::ShowAbout() {
    if (FShowCount > 0) {
        exec();
        ++FShowCount;
        return;
    }
    // The start-up call: nothing is shown.
    if (m_mainForm && lxProject && lxProject->PureConsole()) {
        // An unattended console project runs its window unseen for the whole program: fully transparent, and
        // never mapped at all, since a desktop without compositing ignores transparency.
        QWidget *main = m_mainForm->window();
        main->setWindowOpacity(0.0);
        if (!main->isVisible())
            main->setAttribute(Qt::WA_DontShowOnScreen, true);
    }
    ++FShowCount;
}

void TlxFrmAbout::showEvent(QShowEvent *event) {
    TlxFrmBase<QDialog>::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TlxFrmAbout::FormShow() {
    if (lblProduct && lblProduct->text().isEmpty() && lxProject) {
        // Plain text: an "&" in the title is shown as it is, once, and never taken as a shortcut.
        lblProduct->setText(lxProject->Title);
        lblVersion->setText(lxProject->Version);
    }
    ++FShowCount;
}

void TlxFrmAbout::FormClick() {
    if (FShowCount > 1)
        close();
}

void TlxFrmAbout::FormKeyPress(QKeyEvent *event) {
    const bool producesCharacter = !event->text().isEmpty() || event->key() == Qt::Key_Escape ||
                                   event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (producesCharacter && FShowCount > 1)
        close();
}

void TlxFrmAbout::mousePressEvent(QMouseEvent *event) {
    FormClick();
    event->accept();
}

void TlxFrmAbout::keyPressEvent(QKeyEvent *event) {
    // Every key goes to FormKeyPress; the dialog's own Esc handling would close it regardless of the count.
    FormKeyPress(event);
    event->accept();
}

bool TlxFrmAbout::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::MouseButtonPress && watched->parent() == this) {
        FormClick();
        return true;
    }
    return TlxFrmBase<QDialog>::eventFilter(watched, event);
}
