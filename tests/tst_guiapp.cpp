// Errors that escape an event handler reach the product information's handler instead of ending the program.
#include "RecordingShell.h"
#include "GlobalObjects.h"

#include "base/lxError.h"
#include "info/lxInfo.h"
#include "ui/lxGuiApplication.h"

#include <QEvent>
#include <QtTest>

#include <stdexcept>

namespace {
class Thrower : public QObject {
public:
    int kind = 0;
    bool event(QEvent *e) override {
        if (e->type() != QEvent::User)
            return QObject::event(e);
        if (kind == 0)
            throw ElxError(QStringLiteral("Disk \"D\" is full"));
        if (kind == 1)
            throw std::runtime_error("plain failure");
        throw 42;
    }
};
} // namespace

class TestGuiApp : public QObject {
    Q_OBJECT

private slots:
    void escapedErrorsAreCountedAndReported_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("message");
        QTest::newRow("own error") << 0 << "Disk D is full";
        QTest::newRow("standard exception") << 1 << "plain failure";
        QTest::newRow("anything else") << 2 << "Unknown error";
    }
    void escapedErrorsAreCountedAndReported() {
        QFETCH(int, kind);
        QFETCH(QString, message);
        GlobalObjects env;
        RecordingShell shell;
        Thrower thrower;
        thrower.kind = kind;
        QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
        QCoreApplication::processEvents();
        QCOMPARE(lxInfo->StatValue(QStringLiteral("E")), QStringLiteral("1"));
        QCOMPARE(shell.targets.size(), 1);
        QVERIFY2(shell.targets.first().startsWith(TlxInfo::HomeUrl + QStringLiteral("/net/?a=err&e=") + message +
                                                  QStringLiteral("&p=")),
                 qPrintable(shell.targets.first()));
    }
};

int main(int argc, char **argv) {
    TlxGuiApplication app(argc, argv);
    TestGuiApp test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_guiapp.moc"
