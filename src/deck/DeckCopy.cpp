#include "deck/DeckCopy.h"

#include "deck/DeckPackage.h"
#include "deck/DeckTypefaces.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace deck {

namespace {
// The parts whose shapes can hold pictures.
bool drawingPart(const QString &name) {
    return name.endsWith(QLatin1String(".xml")) &&
           (name.startsWith(QLatin1String("ppt/slides/")) || name.startsWith(QLatin1String("ppt/slideLayouts/")) ||
            name.startsWith(QLatin1String("ppt/slideMasters/")));
}
} // namespace

QByteArray DeckCopy::WithoutSvg(const QByteArray &xml) {
    if (!xml.contains("svgBlip"))
        return xml;
    // <a:blip r:embed="rId4"><a:extLst><a:ext uri="..."><asvg:svgBlip r:embed="rId5"/></a:ext></a:extLst></a:blip>:
    // rId4 is the PNG PowerPoint drew of the SVG rId5. A blip without a PNG of its own (some programs write only
    // the SVG) is pointed at the SVG itself, which the office reads as an ordinary picture.
    static const QRegularExpression blip(
        QStringLiteral("<((?:[A-Za-z_][\\w.-]*:)?)blip((?:\\s[^>]*[^/])?)>(.*?)</\\1blip>"),
        QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression svg(
        QStringLiteral("<(?:[A-Za-z_][\\w.-]*:)?svgBlip\\b[^>]*?(\\s[A-Za-z_][\\w.-]*:embed=\"[^\"]*\")[^>]*/>"));
    static const QRegularExpression embed(QStringLiteral("\\s[A-Za-z_][\\w.-]*:embed="));
    const QString text = QString::fromUtf8(xml);
    QString out;
    qsizetype done = 0;
    for (QRegularExpressionMatchIterator it = blip.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch b = it.next();
        const QRegularExpressionMatch s = svg.match(b.captured(3));
        if (!s.hasMatch())
            continue;
        QString attributes = b.captured(2);
        if (!embed.match(attributes).hasMatch())
            attributes = s.captured(1) + attributes;
        QString inner = b.captured(3);
        inner.remove(s.capturedStart(), s.capturedLength());
        out += QStringView(text).mid(done, b.capturedStart() - done);
        out += u'<' + b.captured(1) + QStringLiteral("blip") + attributes + u'>' + inner + QStringLiteral("</") +
               b.captured(1) + QStringLiteral("blip>");
        done = b.capturedEnd();
    }
    out += QStringView(text).mid(done);
    return out.toUtf8();
}

bool DeckCopy::Needed(const DeckPackage &package, const QHash<QString, QString> &fonts) {
    if (!package.IsOpen())
        return false;
    if (!fonts.isEmpty())
        return true;
    for (const QString &part : package.Parts())
        if (drawingPart(part) && package.Read(part, 64 << 20).contains("svgBlip"))
            return true;
    return false;
}

QString DeckCopy::Make(const DeckPackage &package, const QString &dir, const QHash<QString, QString> &fonts) {
    const QString copy = dir + u'/' + QFileInfo(package.Path()).fileName();
    const bool written = package.WriteCopy(copy, [&fonts](const QString &name, const QByteArray &data) {
        const QByteArray mended = drawingPart(name) ? WithoutSvg(data) : data;
        return DeckTypefaces::TextPart(name) ? DeckTypefaces::Renamed(mended, fonts) : mended;
    });
    return written ? copy : QString();
}

} // namespace deck
