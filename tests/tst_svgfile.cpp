// The SVG check and the composition of a slide's drawings into one SVG document.
#include "engine/lxSvgFile.h"

#include <QXmlStreamReader>
#include <QtTest>

#include <algorithm>

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

struct Element {
    QString name;
    QXmlStreamAttributes attributes;
};
QList<Element> elements(const QByteArray &data) {
    QList<Element> out;
    QXmlStreamReader r(data);
    while (!r.atEnd())
        if (r.readNext() == QXmlStreamReader::StartElement)
            out.append({r.qualifiedName().toString(), r.attributes()});
    return out;
}
} // namespace

class TestSvgFile : public QObject {
    Q_OBJECT
private slots:
    void check_data();
    void check();
    void composeKeepsEachPartItsOwn();
    void composeRefusesBrokenParts();
    void composeKeepsEachPartsNamespaces();
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

void TestSvgFile::composeKeepsEachPartItsOwn() {
    const QByteArray below = drawing("blue", "10"), above = drawing("red", "28");
    QString error;
    const QByteArray composed = TlxSvgFile::Compose({below, above}, &error);
    QCOMPARE(error, QString());
    QCOMPARE(TlxSvgFile::Check(composed), QString());

    const QList<Element> all = elements(composed);
    QCOMPARE(all.first().name, QStringLiteral("svg"));
    QCOMPARE(all.first().attributes.value("viewBox").toString(), QStringLiteral("0 0 25400 19050"));
    QXmlStreamReader root(composed);
    while (root.readNext() != QXmlStreamReader::StartElement)
        ;
    QCOMPARE(root.namespaceUri().toString(), QStringLiteral("http://www.w3.org/2000/svg"));
    QCOMPARE(root.namespaceDeclarations().size(), 2); // the drawing's own and xlink, once
    QCOMPARE(std::count_if(all.begin(), all.end(), [](const Element &e) { return e.name == QLatin1String("svg"); }), 1);

    // Each part in its group, in order, with what its root passed down; ids and references made the part's own.
    QStringList groups, ids, references, fills;
    for (const Element &e : all) {
        if (e.name == QLatin1String("g") && e.attributes.hasAttribute("stroke-width"))
            groups << e.attributes.value("stroke-width").toString();
        if (e.attributes.hasAttribute("id"))
            ids << e.attributes.value("id").toString();
        for (const char *ref : {"clip-path", "xlink:href"})
            if (e.attributes.hasAttribute(QLatin1String(ref)))
                references << e.attributes.value(QLatin1String(ref)).toString();
        if (e.name == QLatin1String("path") && e.attributes.hasAttribute("fill"))
            fills << e.attributes.value("fill").toString();
    }
    QCOMPARE(groups, (QStringList{"10", "28"}));
    QCOMPARE(fills, (QStringList{"blue", "red"}));
    QCOMPARE(ids, (QStringList{"layer1-clip_path_1", "layer1-dot", "layer2-clip_path_1", "layer2-dot"}));
    QCOMPARE(references,
             (QStringList{"url(#layer1-clip_path_1)", "#layer1-dot", "url(#layer2-clip_path_1)", "#layer2-dot"}));
    // Text keeps its characters and its spaces.
    QXmlStreamReader r(composed);
    QStringList texts;
    while (!r.atEnd())
        if (r.readNext() == QXmlStreamReader::StartElement && r.name() == QLatin1String("text"))
            texts << r.readElementText();
    QCOMPARE(texts, (QStringList{"a < b  & c", "a < b  & c"}));
    QVERIFY(composed.contains("xml:space=\"preserve\""));
}

void TestSvgFile::composeRefusesBrokenParts() {
    QString error;
    QVERIFY(TlxSvgFile::Compose({drawing("red", "1"), QByteArray("<svg><g></svg>")}, &error).isEmpty());
    QVERIFY2(error.contains(QLatin1String("part 2")), qPrintable(error));
    error.clear();
    QVERIFY(TlxSvgFile::Compose({}, &error).isEmpty());
    QVERIFY(!error.isEmpty());
    // A single part is itself.
    const QByteArray one = drawing("red", "1");
    QCOMPARE(TlxSvgFile::Compose({one}, &error), one);
}

// A part whose root binds XLink to a prefix of its own, below a part that uses the usual one: the composed document
// declares both, and the part's links still reach its own elements.
void TestSvgFile::composeKeepsEachPartsNamespaces() {
    const QByteArray below = drawing("blue", "10").replace("xmlns:xlink", "xmlns:xl").replace("xlink:href", "xl:href");
    QString error;
    const QByteArray composed = TlxSvgFile::Compose({below, drawing("red", "28")}, &error);
    QCOMPARE(error, QString());
    QCOMPARE(TlxSvgFile::Check(composed), QString());
    QStringList links;
    QXmlStreamReader r(composed);
    while (!r.atEnd())
        if (r.readNext() == QXmlStreamReader::StartElement && r.name() == QLatin1String("use"))
            links << r.attributes()
                         .value(QLatin1String("http://www.w3.org/1999/xlink"), QLatin1String("href"))
                         .toString();
    QCOMPARE(links, (QStringList{"#layer1-dot", "#layer2-dot"}));
}

QTEST_GUILESS_MAIN(TestSvgFile)
#include "tst_svgfile.moc"
