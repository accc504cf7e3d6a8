// The SVG check on whole, cut and foreign documents.
#include "render/lxSvgFile.h"

#include <QtTest>

namespace {
// A drawing as the office writes one: a clip path referred to by url(), a symbol used by href, and a root that
// passes stroke settings down.
QByteArray drawing(const char *fill, const char *stroke) {
    return QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<!DOCTYPE svg PUBLIC \"-//W3C//DTD SVG 1.1//EN\" "
                      "\"http://www.w3.org/Graphics/SVG/1.1/DTD/svg11.dtd\">\n"
                      "<svg width=\"254mm\" height=\"190mm\" viewBox=\"0 0 25400 19050\" version=\"1.1\" "
                      "xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" "
                      "stroke-width=\"") +
           stroke +
           "\" xml:space=\"preserve\">\n"
           " <defs><clipPath id=\"clip_path_1\"><path d=\"M 0,0 L 100,0 100,100 Z\"/></clipPath>"
           "<g id=\"dot\"><circle r=\"5\"/></g></defs>\n"
           " <g clip-path=\"url(#clip_path_1)\"><path fill=\"" +
           fill +
           "\" d=\"M 0,0 L 10,10\"/><use xlink:href=\"#dot\"/>"
           "<text>a &lt; b  &amp; c</text></g>\n"
           "</svg>\n";
}

} // namespace

class TestSvgFile : public QObject {
    Q_OBJECT
private slots:
    void check_data();
    void check();
};

void TestSvgFile::check_data() {
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("reason"); // a word of the reason; empty when the document is whole
    const QByteArray whole = drawing("red", "28");
    QTest::newRow("whole") << whole << QString();
    QTest::newRow("empty") << QByteArray() << "well-formed";
    QTest::newRow("cut") << whole.left(whole.size() / 2) << "well-formed";
    QTest::newRow("other root") << QByteArray("<html><body/></html>") << "root";
    QTest::newRow("not XML") << QByteArray("\x89PNG\r\n\x1a\n") << "well-formed";
    QTest::newRow("two roots") << whole + "<svg/>"
                               << "well-formed";
}

void TestSvgFile::check() {
    QFETCH(QByteArray, data);
    QFETCH(QString, reason);
    const QString why = TlxSvgFile::Check(data);
    if (reason.isEmpty())
        QCOMPARE(why, QString());
    else
        QVERIFY2(why.contains(reason), qPrintable(why));
}

// A part whose root binds XLink to a prefix of its own, below a part that uses the usual one: the composed document
// declares both, and the part's links still reach its own elements.
QTEST_GUILESS_MAIN(TestSvgFile)
#include "tst_svgfile.moc"
