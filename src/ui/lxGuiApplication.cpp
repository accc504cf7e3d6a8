#include "ui/lxGuiApplication.h"

#include "base/lxError.h"
#include "info/lxInfo.h"

#include <exception>

TlxGuiApplication::TlxGuiApplication(int &argc, char **argv) : QApplication(argc, argv) {}

bool TlxGuiApplication::notify(QObject *receiver, QEvent *event) {
    QString message;
    try {
        return QApplication::notify(receiver, event);
    } catch (const ElxError &error) {
        message = error.Message();
    } catch (const std::exception &error) {
        message = QString::fromUtf8(error.what());
    } catch (...) {
        message = QStringLiteral("Unknown error");
    }
    if (!TlxInfo::DispatchUnhandled(message))
        qWarning("Unhandled error: %s", qPrintable(message));
    return false;
}
