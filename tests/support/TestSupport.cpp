#include "TestSupport.h"

#include "base/lxFileName.h"
#include "base/lxFileUtils.h"
#include "deck/DeckPackage.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QRandomGenerator>
#include <QtEndian>

#include <zlib.h>

#include <filesystem>

namespace TestSupport {

QString corpusDir() {
    return QDir::cleanPath(qEnvironmentVariable("VORLANE_CORPUS_DIR", QStringLiteral(VORLANE_CORPUS_DIR)));
}

QString corpusProblem() {
    const QString dir = corpusDir();
    const QString manifest = dir + QStringLiteral("/MANIFEST.tsv");
    const QStringList lines = QString::fromUtf8(readAll(manifest)).split(u'\n', Qt::SkipEmptyParts);
    if (lines.size() < 2)
        return QStringLiteral("test data not found: %1 is missing, unreadable or lists no decks").arg(manifest);
    for (const QString &line : lines.mid(1)) {
        const QString deck = dir + u'/' + line.section(u'\t', 0, 0);
        if (!QFileInfo(deck).isFile())
            return QStringLiteral("test data not found: %1 (listed in %2)").arg(deck, manifest);
    }
    return {};
}

QList<CorpusDeck> corpusDecks(const QString &expect) {
    QList<CorpusDeck> decks;
    const QString dir = corpusDir();
    const QStringList lines = QString::fromUtf8(readAll(dir + QStringLiteral("/MANIFEST.tsv"))).split(u'\n');
    for (const QString &line : lines) {
        const QStringList f = line.split(u'\t');
        if (f.size() > 7 && f.at(7) == expect)
            decks.append({dir + u'/' + f.at(0), f.at(4).toInt()});
    }
    return decks;
}

QString slidePath(const QString &path, int k) {
    if (k == 1)
        return path;
    const qsizetype dot = path.lastIndexOf(u'.');
    return path.left(dot) + QStringLiteral("-%1").arg(k) + path.mid(dot);
}

QByteArray readAll(const QString &path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

bool writeAll(const QString &path, const QByteArray &data) {
    // Through the name's bytes: tests make files whose names are not UTF-8 too.
    TlxFileName::MakePath(TlxFileUtils::FolderPart(TlxFileName::Absolute(path)));
    QFile f;
    return TlxFileName::Open(f, path, QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size();
}

void removeAll(const QString &path) {
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(TlxFileName::Encode(path).toStdString()), ignored);
}

QByteArray flatDeckStart() {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
           "<office:document xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
           "xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\" "
           "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
           "xmlns:draw=\"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0\" "
           "xmlns:fo=\"urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0\" "
           "xmlns:svg=\"urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0\" "
           "xmlns:presentation=\"urn:oasis:names:tc:opendocument:xmlns:presentation:1.0\" office:version=\"1.3\" "
           "office:mimetype=\"application/vnd.oasis.opendocument.presentation\">";
}

QByteArray photoDeck(int slides, QSize picture) {
    QImage image(picture, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<quint32 *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = 0xff000000u | (random.generate() & 0xffffffu);
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");

    QByteArray xml =
        flatDeckStart() + "<office:styles><draw:fill-image draw:name=\"photo\"><office:binary-data>" + png.toBase64() +
        "</office:binary-data></draw:fill-image></office:styles><office:automatic-styles>"
        "<style:page-layout style:name=\"PM1\"><style:page-layout-properties fo:margin-top=\"0cm\" "
        "fo:margin-bottom=\"0cm\" fo:margin-left=\"0cm\" fo:margin-right=\"0cm\" fo:page-width=\"25.4cm\" "
        "fo:page-height=\"19.05cm\"/></style:page-layout>"
        "<style:style style:name=\"Mdp\" style:family=\"drawing-page\"><style:drawing-page-properties "
        "draw:fill=\"bitmap\" draw:fill-image-name=\"photo\" style:repeat=\"stretch\"/></style:style>"
        "<style:style style:name=\"dp1\" style:family=\"drawing-page\"><style:drawing-page-properties "
        "presentation:background-visible=\"true\" presentation:background-objects-visible=\"true\" "
        "presentation:display-page-number=\"true\"/></style:style>"
        "<style:style style:name=\"bar\" style:family=\"graphic\"><style:graphic-properties draw:stroke=\"none\" "
        "draw:fill=\"solid\" draw:fill-color=\"#c00000\"/></style:style>"
        "<style:style style:name=\"logo\" style:family=\"graphic\"><style:graphic-properties draw:stroke=\"none\" "
        "draw:fill=\"solid\" draw:fill-color=\"#ffc000\"/></style:style>"
        "<style:style style:name=\"P1\" style:family=\"paragraph\"><style:text-properties fo:font-size=\"28pt\" "
        "fo:font-family=\"'DejaVu Sans'\" fo:color=\"#ffffff\"/></style:style>"
        "</office:automatic-styles><office:master-styles>"
        "<style:master-page style:name=\"M\" style:page-layout-name=\"PM1\" draw:style-name=\"Mdp\">"
        "<draw:rect draw:style-name=\"bar\" svg:x=\"0cm\" svg:y=\"17cm\" svg:width=\"25.4cm\" "
        "svg:height=\"2.05cm\"/>"
        "<draw:ellipse draw:style-name=\"logo\" svg:x=\"22cm\" svg:y=\"0.5cm\" svg:width=\"3cm\" "
        "svg:height=\"3cm\"/>"
        "<draw:frame presentation:class=\"page-number\" svg:x=\"19cm\" svg:y=\"17.4cm\" svg:width=\"5cm\" "
        "svg:height=\"1.3cm\"><draw:text-box><text:p text:style-name=\"P1\"><text:page-number>&lt;number&gt;"
        "</text:page-number></text:p></draw:text-box></draw:frame>"
        "</style:master-page></office:master-styles><office:body><office:presentation>";
    for (int k = 1; k <= slides; ++k)
        xml += QStringLiteral("<draw:page draw:name=\"s%1\" draw:style-name=\"dp1\" draw:master-page-name=\"M\">"
                              "<draw:frame svg:x=\"1.5cm\" svg:y=\"5cm\" svg:width=\"18cm\" svg:height=\"3cm\">"
                              "<draw:text-box><text:p text:style-name=\"P1\">Site photo %1</text:p>"
                              "</draw:text-box></draw:frame></draw:page>")
                   .arg(k)
                   .toUtf8();
    return xml + "</office:presentation></office:body></office:document>\n";
}

} // namespace TestSupport

namespace TestSupport {

QByteArray zipStored(const QList<QPair<QString, QByteArray>> &parts) {
    return deck::DeckPackage::Zip(parts);
}

namespace {
const char kNs[] = "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" "
                   "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\" "
                   "xmlns:p=\"http://schemas.openxmlformats.org/presentationml/2006/main\"";
const char kXml[] = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>";

QByteArray relationships(const QList<std::pair<QByteArray, QByteArray>> &typeAndTarget) {
    QByteArray x =
        QByteArray(kXml) + "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
    int id = 1;
    for (const auto &[type, target] : typeAndTarget)
        x += "<Relationship Id=\"rId" + QByteArray::number(id++) +
             "\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/" + type + "\" Target=\"" +
             target + "\"/>";
    return x + "</Relationships>";
}

QByteArray shapeTree(const QByteArray &shapes) {
    return "<p:cSld><p:spTree><p:nvGrpSpPr><p:cNvPr id=\"1\" name=\"\"/><p:cNvGrpSpPr/><p:nvPr/></p:nvGrpSpPr>"
           "<p:grpSpPr/>" +
           shapes + "</p:spTree></p:cSld>";
}

QByteArray theme(const QByteArray &typeface) {
    QByteArray colours;
    const std::pair<const char *, const char *> scheme[] = {
        {"dk1", "000000"},     {"lt1", "FFFFFF"},     {"dk2", "1F497D"},     {"lt2", "EEECE1"},
        {"accent1", "4F81BD"}, {"accent2", "C0504D"}, {"accent3", "9BBB59"}, {"accent4", "8064A2"},
        {"accent5", "4BACC6"}, {"accent6", "F79646"}, {"hlink", "0000FF"},   {"folHlink", "800080"}};
    for (const auto &[name, value] : scheme)
        colours += QByteArray("<a:") + name + "><a:srgbClr val=\"" + value + "\"/></a:" + name + ">";
    const QByteArray fill = "<a:solidFill><a:schemeClr val=\"phClr\"/></a:solidFill>";
    const QByteArray line = "<a:ln w=\"9525\">" + fill + "</a:ln>";
    const QByteArray effect = "<a:effectStyle><a:effectLst/></a:effectStyle>";
    const QByteArray font = "<a:latin typeface=\"" + typeface + "\"/><a:ea typeface=\"\"/><a:cs typeface=\"\"/>";
    return QByteArray(kXml) +
           "<a:theme xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" name=\"T\"><a:themeElements>"
           "<a:clrScheme name=\"T\">" +
           colours + "</a:clrScheme><a:fontScheme name=\"T\"><a:majorFont>" + font + "</a:majorFont><a:minorFont>" +
           font + "</a:minorFont></a:fontScheme><a:fmtScheme name=\"T\"><a:fillStyleLst>" + fill + fill + fill +
           "</a:fillStyleLst><a:lnStyleLst>" + line + line + line + "</a:lnStyleLst><a:effectStyleLst>" + effect +
           effect + effect + "</a:effectStyleLst><a:bgFillStyleLst>" + fill + fill + fill +
           "</a:bgFillStyleLst></a:fmtScheme></a:themeElements></a:theme>";
}
} // namespace

QByteArray pptxDeck(const QString &typeface, const QString &text, const QByteArray &fontData,
                    const PptxExtras &extras) {
    const QByteArray face = typeface.toHtmlEscaped().toUtf8();
    const QByteArray types =
        QByteArray(kXml) +
        "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
        "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
        "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
        "<Default Extension=\"fntdata\" ContentType=\"application/x-fontdata\"/>"
        "<Default Extension=\"png\" ContentType=\"image/png\"/>"
        "<Default Extension=\"svg\" ContentType=\"image/svg+xml\"/>"
        "<Override PartName=\"/ppt/presentation.xml\" "
        "ContentType=\"application/vnd.openxmlformats-officedocument.presentationml.presentation.main+xml\"/>"
        "<Override PartName=\"/ppt/slideMasters/slideMaster1.xml\" "
        "ContentType=\"application/vnd.openxmlformats-officedocument.presentationml.slideMaster+xml\"/>"
        "<Override PartName=\"/ppt/slideLayouts/slideLayout1.xml\" "
        "ContentType=\"application/vnd.openxmlformats-officedocument.presentationml.slideLayout+xml\"/>"
        "<Override PartName=\"/ppt/slides/slide1.xml\" "
        "ContentType=\"application/vnd.openxmlformats-officedocument.presentationml.slide+xml\"/>"
        "<Override PartName=\"/ppt/theme/theme1.xml\" "
        "ContentType=\"application/vnd.openxmlformats-officedocument.theme+xml\"/></Types>";
    const QByteArray master = QByteArray(kXml) + "<p:sldMaster " + kNs + ">" + shapeTree("") +
                              "<p:clrMap bg1=\"lt1\" tx1=\"dk1\" bg2=\"lt2\" tx2=\"dk2\" accent1=\"accent1\" "
                              "accent2=\"accent2\" accent3=\"accent3\" accent4=\"accent4\" accent5=\"accent5\" "
                              "accent6=\"accent6\" hlink=\"hlink\" folHlink=\"folHlink\"/><p:sldLayoutIdLst>"
                              "<p:sldLayoutId id=\"2147483649\" r:id=\"rId1\"/></p:sldLayoutIdLst></p:sldMaster>";
    const QByteArray layout = QByteArray(kXml) + "<p:sldLayout " + kNs + ">" + shapeTree("") + "</p:sldLayout>";
    const QByteArray paragraphs = !extras.paragraphs.isEmpty()
                                      ? extras.paragraphs
                                      : "<a:p><a:r><a:rPr lang=\"en-US\" sz=\"4000\"><a:latin typeface=\"" + face +
                                            "\"/></a:rPr><a:t>" + text.toHtmlEscaped().toUtf8() + "</a:t></a:r></a:p>";
    const QByteArray kind = extras.placeholder.isEmpty() ? "<p:cNvSpPr txBox=\"1\"/><p:nvPr/>"
                                                         : "<p:cNvSpPr/><p:nvPr>" + extras.placeholder + "</p:nvPr>";
    const QByteArray shape = "<p:sp><p:nvSpPr><p:cNvPr id=\"2\" name=\"Text\"/>" + kind +
                             "</p:nvSpPr><p:spPr><a:xfrm>" + extras.frame +
                             "</a:xfrm><a:prstGeom prst=\"rect\"><a:avLst/></a:prstGeom></p:spPr><p:txBody>" +
                             extras.bodyProperties + paragraphs + "</p:txBody></p:sp>" + extras.shapes;
    const QByteArray slide = QByteArray(kXml) + "<p:sld " + kNs + ">" + shapeTree(shape) + "</p:sld>";
    QList<std::pair<QByteArray, QByteArray>> presentationRels = {{"slideMaster", "slideMasters/slideMaster1.xml"},
                                                                 {"slide", "slides/slide1.xml"},
                                                                 {"theme", "theme/theme1.xml"}};
    QByteArray fontList;
    if (!fontData.isEmpty()) {
        presentationRels.append(std::pair<QByteArray, QByteArray>("font", "fonts/font1.fntdata"));
        fontList = "<p:embeddedFontLst><p:embeddedFont><p:font typeface=\"" + face +
                   "\"/><p:regular r:id=\"rId4\"/></p:embeddedFont></p:embeddedFontLst>";
    }
    const QByteArray presentation =
        QByteArray(kXml) + "<p:presentation " + kNs +
        "><p:sldMasterIdLst><p:sldMasterId id=\"2147483648\" r:id=\"rId1\"/></p:sldMasterIdLst><p:sldIdLst>"
        "<p:sldId id=\"256\" r:id=\"rId2\"/></p:sldIdLst><p:sldSz cx=\"9144000\" cy=\"6858000\"/>"
        "<p:notesSz cx=\"6858000\" cy=\"9144000\"/>" +
        fontList + "</p:presentation>";
    QList<std::pair<QByteArray, QByteArray>> slideRels = {{"slideLayout", "../slideLayouts/slideLayout1.xml"}};
    for (const auto &[type, target] : extras.slideRelationships)
        slideRels.append({type, target});
    QList<QPair<QString, QByteArray>> parts = {
        {QStringLiteral("[Content_Types].xml"), types},
        {QStringLiteral("_rels/.rels"), relationships({{"officeDocument", "ppt/presentation.xml"}})},
        {QStringLiteral("ppt/presentation.xml"), presentation},
        {QStringLiteral("ppt/_rels/presentation.xml.rels"), relationships(presentationRels)},
        {QStringLiteral("ppt/slideMasters/slideMaster1.xml"), master},
        {QStringLiteral("ppt/slideMasters/_rels/slideMaster1.xml.rels"),
         relationships({{"slideLayout", "../slideLayouts/slideLayout1.xml"}, {"theme", "../theme/theme1.xml"}})},
        {QStringLiteral("ppt/slideLayouts/slideLayout1.xml"), layout},
        {QStringLiteral("ppt/slideLayouts/_rels/slideLayout1.xml.rels"),
         relationships({{"slideMaster", "../slideMasters/slideMaster1.xml"}})},
        {QStringLiteral("ppt/slides/slide1.xml"), slide},
        {QStringLiteral("ppt/slides/_rels/slide1.xml.rels"), relationships(slideRels)},
        {QStringLiteral("ppt/theme/theme1.xml"), theme(extras.themeFont)}};
    if (!fontData.isEmpty())
        parts.append({QStringLiteral("ppt/fonts/font1.fntdata"), fontData});
    return zipStored(parts + extras.parts);
}

void forEachEmfRecord(const QByteArray &emf, const std::function<void(quint32, const char *, quint32)> &visit) {
    for (qsizetype off = 0; off + 8 <= emf.size();) {
        const quint32 type = qFromLittleEndian<quint32>(emf.constData() + off);
        const quint32 size = qFromLittleEndian<quint32>(emf.constData() + off + 4);
        if (size < 8 || quint64(off) + size > quint64(emf.size()))
            break;
        visit(type, emf.constData() + off, size);
        off += size;
    }
}

QByteArray eotFont(const QByteArray &ttf, bool obfuscated) {
    QByteArray data = ttf;
    if (obfuscated)
        for (char &c : data)
            c = char(c ^ 0x50);
    QByteArray eot;
    auto u16 = [&eot](quint16 v) { eot.append(char(v & 0xff)).append(char(v >> 8)); };
    auto u32 = [&u16](quint32 v) {
        u16(quint16(v & 0xffff));
        u16(quint16(v >> 16));
    };
    auto name = [&eot, &u16](const QString &s) {
        u16(quint16(s.size() * 2));
        for (QChar c : s)
            u16(c.unicode());
    };
    u32(0); // the whole size, set below
    u32(quint32(data.size()));
    u32(0x00020001);
    u32(obfuscated ? 0x10000000 : 0);
    eot += QByteArray(10, '\0'); // PANOSE
    eot += char(1);              // charset: default
    eot += char(0);              // not italic
    u32(400);
    u16(0);                               // fsType: installable
    u16(0x504C);                          // magic
    eot += QByteArray(24 + 4 + 16, '\0'); // Unicode and code page ranges, checksum adjustment, reserved
    u16(0);
    for (const QString &s : {QStringLiteral("Family"), QStringLiteral("Regular"), QStringLiteral("Version 1")}) {
        name(s);
        u16(0);
    }
    name(QStringLiteral("Family"));
    eot += data;
    qToLittleEndian<quint32>(quint32(eot.size()), eot.data());
    return eot;
}

QByteArray png(QSize size, QColor colour) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return out;
}

QByteArray renamedFont() {
    QByteArray ttf = readAll(QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"));
    const quint16 tables = ttf.size() > 12 ? qFromBigEndian<quint16>(ttf.constData() + 4) : 0;
    for (int i = 0; i < tables; ++i) {
        const char *entry = ttf.constData() + 12 + 16 * i;
        if (QByteArray(entry, 4) != "name")
            continue;
        const quint32 offset = qFromBigEndian<quint32>(entry + 8), length = qFromBigEndian<quint32>(entry + 12);
        QByteArray name = ttf.mid(offset, length);
        name.replace("DejaVu", "Qxlvwz");
        name.replace(QByteArray("\0D\0e\0j\0a\0V\0u", 12), QByteArray("\0Q\0x\0l\0v\0w\0z", 12));
        ttf.replace(offset, length, name);
    }
    return ttf;
}

} // namespace TestSupport
