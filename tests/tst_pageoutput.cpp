// A page's file counts only when it is whole in its format: the checks each output passes before it is written.
#include "render/PageOutput.h"

#include "TestSupport.h"

#include <QtTest>

namespace {
QByteArray png(int width) {
    return TestSupport::png(QSize(width, 10));
}

TlxOutputOptions options(TlxOutputOptions::Format format) {
    TlxOutputOptions o;
    o.format = format;
    o.pngWidth = 64;
    return o;
}
} // namespace

class TestPageOutput : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void check_data();
    void check();
};

void TestPageOutput::check_data() {
    using Format = TlxOutputOptions::Format;
    QTest::addColumn<int>("format");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("why"); // what the reason says, empty when the file is whole
    QTest::newRow("png") << int(Format::Png) << png(64) << "";
    QTest::newRow("png of another width") << int(Format::Png) << png(63) << "63 pixels wide, not 64";
    QTest::newRow("png cut in its header") << int(Format::Png) << png(64).left(20) << "not a PNG";
    QTest::newRow("pdf") << int(Format::Pdf) << QByteArray("%PDF-1.7\n1 0 obj\n%%EOF\n") << "";
    QTest::newRow("pdf cut short") << int(Format::Pdf) << QByteArray("%PDF-1.7\n1 0 obj\n") << "not a complete PDF";
    QTest::newRow("svg") << int(Format::Svg) << QByteArray("<svg xmlns=\"http://www.w3.org/2000/svg\"></svg>") << "";
    QTest::newRow("svg cut short") << int(Format::Svg) << QByteArray("<svg xmlns=\"http://www.w3.org/2000/svg\"><g>")
                                   << "it";
    QTest::newRow("emf that is none") << int(Format::Emf) << QByteArray(200, 'x') << "EMF";
    QTest::newRow("emz checked as its EMF") << int(Format::Emz) << QByteArray(200, 'x') << "EMF";
}

void TestPageOutput::check() {
    QFETCH(int, format);
    QFETCH(QByteArray, data);
    QFETCH(QString, why);
    const QString reason = PageOutput::Check(data, options(TlxOutputOptions::Format(format)));
    if (why.isEmpty())
        QCOMPARE(reason, QString());
    else
        QVERIFY2(reason.contains(why), qPrintable(reason));
}

QTEST_GUILESS_MAIN(TestPageOutput)
#include "tst_pageoutput.moc"
