#pragma once

#include "ui/lxFormAbout.h"

// The program's About window: the About window with the product picture.
class TlxFrmVorlaneAbout : public TlxFrmAbout {
    Q_OBJECT

public:
    explicit TlxFrmVorlaneAbout(QWidget *mainForm = nullptr);
};

// The program's About window instance, made by the windowed start after the main window.
extern TlxFrmVorlaneAbout *lxFrmVorlaneAbout;
