#pragma once

#include <QApplication>

// The windowed program's application object: an error that escapes an event handler reaches the product
// information's handler (counted and reported through the web site's report page, no message box) instead of
// ending the program.
class TlxGuiApplication : public QApplication {
    Q_OBJECT

public:
    TlxGuiApplication(int &argc, char **argv);

    bool notify(QObject *receiver, QEvent *event) override;
};
