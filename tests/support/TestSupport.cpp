#include "TestSupport.h"

#include "engine/lxFileName.h"
#include "engine/lxFileUtils.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QRandomGenerator>

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
