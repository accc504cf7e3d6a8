#pragma once

#include <QScreen>
#include <QShowEvent>
#include <QWidget>

// Shared set-up of every window of the program (the base form): its size and the centring on the screen at the
// first show. The desktop's own font and colours are kept, so the windows look like the rest of the desktop.
namespace lxFormBase {
// Applies the base form to a freshly made window.
void Apply(QWidget *form);
// Moves a window to the centre of the screen it is on (or the primary screen).
void CenterOnScreen(QWidget *form);
} // namespace lxFormBase

// Base of every window: TBase is the Qt window class (QMainWindow for the main window, QDialog for dialogs).
template <class TBase> class TlxFrmBase : public TBase {
public:
    explicit TlxFrmBase(QWidget *parent = nullptr, Qt::WindowFlags flags = {}) : TBase(parent, flags) {
        lxFormBase::Apply(this);
    }

protected:
    void showEvent(QShowEvent *event) override {
        if (!m_placed && !event->spontaneous()) {
            m_placed = true;
            lxFormBase::CenterOnScreen(this);
        }
        TBase::showEvent(event);
    }

private:
    bool m_placed = false;
};
