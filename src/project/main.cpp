#include <QApplication>
#include <QLabel>

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    QLabel label(QStringLiteral("Quillon Converter"));
    label.show();
    return app.exec();
}
