#include "ui/lxWindowedStart.h"

#include "ui/lxFormMain.h"
#include "ui/lxVorlaneAbout.h"

#include <QApplication>

int RunWindowed(QApplication &app) {
    TlxFrmMain main;
    TlxFrmVorlaneAbout about(&main);
    lxFrmVorlaneAbout = &about;
    about.ShowAbout();
    main.show();
    app.exec();
    lxFrmVorlaneAbout = nullptr;
    return 0;
}
