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

// Where the element that opens at from (its start tag's '<') ends, nested elements of its name counted; -1 when
// it does not.
qsizetype elementEnd(const QByteArray &xml, qsizetype from, const QByteArray &name) {
    const QByteArray open = '<' + name, close = "</" + name + '>';
    int depth = 0;
    for (qsizetype at = from; at >= 0 && at < xml.size();) {
        const qsizetype nextOpen = xml.indexOf(open, at), nextClose = xml.indexOf(close, at);
        if (nextClose < 0)
            return -1;
        if (nextOpen >= 0 && nextOpen < nextClose) {
            const char after = nextOpen + open.size() < xml.size() ? xml.at(nextOpen + open.size()) : '\0';
            depth += after == '>' || after == ' ' || after == '/' ? 1 : 0;
            at = nextOpen + open.size();
            continue;
        }
        if (--depth == 0)
            return nextClose + close.size();
        at = nextClose + close.size();
    }
    return -1;
}

// Where the shape's own fill may stand in spPr's inside: before its line and effects.
qsizetype fillZoneEnd(const QByteArray &inside) {
    qsizetype end = inside.size();
    for (const char *after : {"<a:ln>", "<a:ln ", "<a:effectLst", "<a:effectDag", "<a:scene3d", "<a:sp3d"})
        if (const qsizetype at = inside.indexOf(after); at >= 0)
            end = std::min(end, at);
    return end;
}

// How opaque the picture that fills the shape is (its fixed alpha, 0 to 1), as spPr's inside states it before its
// line and effects; -1 where the shape is not filled with a picture. The office casts a picture's shadow as if the
// picture were opaque, seen through it; a colour fill's shadow it already casts by the colour's alpha.
double pictureOpacity(const QByteArray &inside) {
    const qsizetype at = inside.left(fillZoneEnd(inside)).indexOf("<a:blipFill");
    const qsizetype fillEnd = at >= 0 ? elementEnd(inside, at, "a:blipFill") : -1;
    if (fillEnd < 0)
        return -1.0;
    static const QRegularExpression amount(QStringLiteral("<a:alphaModFix amt=\"(\\d+)\""));
    const QRegularExpressionMatch m = amount.match(QString::fromUtf8(inside.mid(at, fillEnd - at)));
    return m.hasMatch() ? std::min(1.0, m.captured(1).toDouble() / 100000.0) : 1.0;
}

// An element's place in a part: from its '<' to just after its end; at < 0 where there is none.
struct Span {
    qsizetype at = -1, end = -1;
    bool found() const { return at >= 0 && end > at; }
};

// The first fill element (a:solidFill, a:gradFill, ...) at or after from and before limit.
Span fillElement(const QByteArray &xml, qsizetype from, qsizetype limit) {
    static const QRegularExpression fill(QStringLiteral("<a:(noFill|solidFill|gradFill|blipFill|pattFill|grpFill)\\b"));
    const QRegularExpressionMatch m = fill.match(QString::fromLatin1(xml.mid(from, limit - from)));
    if (!m.hasMatch())
        return {};
    const qsizetype at = from + m.capturedStart();
    const qsizetype close = xml.indexOf('>', at);
    if (close < 0 || close >= limit)
        return {};
    if (xml.at(close - 1) == '/')
        return {at, close + 1};
    const qsizetype end = elementEnd(xml, at, "a:" + m.captured(1).toLatin1());
    return end > 0 && end <= limit ? Span{at, end} : Span{};
}

// spPr's inside with its fill overlay (an effect the office does not draw) made the shape's fill, where that is
// what PowerPoint shows: an overlay drawn over a fill ("over") hides it; one multiplied with a pattern or a tiled
// texture (light, fine, often translucent) takes its colours. Multiplied with a colour or a whole picture the mix
// is neither, and the shape is left as it is.
QByteArray overlaid(QByteArray inside) {
    const qsizetype zone = fillZoneEnd(inside);
    const qsizetype overlay = inside.indexOf("<a:fillOverlay", zone);
    const qsizetype overlayEnd = overlay >= 0 ? elementEnd(inside, overlay, "a:fillOverlay") : -1;
    const qsizetype open = overlay >= 0 ? inside.indexOf('>', overlay) : -1;
    if (overlayEnd < 0 || open < 0 || open >= overlayEnd)
        return inside;
    const QByteArray tag = inside.mid(overlay, open - overlay);
    const Span top = fillElement(inside, open + 1, overlayEnd);
    const Span base = fillElement(inside, 0, zone);
    if (!top.found() || !base.found() || inside.mid(base.at, 9) == "<a:noFill")
        return inside; // with no fill there is nothing the overlay is blended with
    const QByteArray baseFill = inside.mid(base.at, base.end - base.at);
    const bool textured =
        baseFill.startsWith("<a:pattFill") || (baseFill.startsWith("<a:blipFill") && baseFill.contains("<a:tile"));
    const bool over = tag.contains("blend=\"over\""), multiplied = tag.contains("blend=\"mult\"");
    if (!over && !(multiplied && textured))
        return inside;
    const QByteArray topFill = inside.mid(top.at, top.end - top.at);
    inside.remove(overlay, overlayEnd - overlay);
    return inside.replace(base.at, base.end - base.at, topFill);
}

// The part with each shape's properties (the inside of each p:spPr) given to mend; each byte is looked at once.
template <typename Mend> QByteArray eachProperties(const QByteArray &xml, Mend mend) {
    QByteArray out;
    qsizetype done = 0;
    for (qsizetype at = xml.indexOf("<p:spPr"); at >= 0; at = xml.indexOf("<p:spPr", std::max(at + 1, done))) {
        const qsizetype open = xml.indexOf('>', at), end = xml.indexOf("</p:spPr>", at);
        if (open < 0 || end <= open || xml.at(open - 1) == '/')
            continue;
        const QByteArray inside = xml.mid(open + 1, end - open - 1);
        const QByteArray mended = mend(inside);
        if (mended == inside)
            continue;
        out += xml.mid(done, open + 1 - done) + mended;
        done = end;
    }
    return done == 0 ? xml : out + xml.mid(done);
}

// spPr's inside without its outer shadows.
QByteArray unshadowed(QByteArray inside) {
    for (qsizetype at = inside.indexOf("<a:outerShdw"); at >= 0; at = inside.indexOf("<a:outerShdw", at)) {
        const qsizetype end = elementEnd(inside, at, "a:outerShdw");
        const qsizetype closed = inside.indexOf("/>", at);
        const qsizetype next = inside.indexOf('>', at);
        // A shadow without a colour (<a:outerShdw .../>) ends at its own tag.
        const qsizetype stop = closed >= 0 && closed + 1 == next ? next + 1 : end;
        if (stop < 0)
            return inside;
        inside.remove(at, stop - at);
    }
    return inside;
}

bool holdsMath(const QByteArray &xml) {
    return xml.contains("<a14:m>") || xml.contains("<a14:m ") || xml.contains("<m:oMath");
}

const QRegularExpression &percentSpacing() {
    // <a:spcBef><a:spcPct val="20000"/></a:spcBef>: a paragraph's space before (or after) as a share of its line.
    static const QRegularExpression re(QStringLiteral("(<a:spc(?:Bef|Aft)>\\s*<a:spcPct\\s+val=\")(\\d{1,9})(\")"));
    return re;
}

// The parts the copy may mend: the drawing parts, and the presentation part for its default text style.
bool mendable(const QString &name) {
    return drawingPart(name) || name == QLatin1String("ppt/presentation.xml");
}

// The part as the copy holds it, fonts aside: the drawing parts with every mend, the default text style with its
// paragraph spacing, the others as they are. Each mend returns its input where it finds nothing to mend.
QByteArray mendedPart(const QString &name, const QByteArray &xml) {
    if (!mendable(name))
        return xml;
    if (!drawingPart(name))
        return DeckCopy::WithLineBasedSpacing(xml);
    return DeckCopy::WithLineBasedSpacing(
        DeckCopy::WithOverlaidFills(DeckCopy::WithoutPictureShadows(DeckCopy::WithoutMath(DeckCopy::WithoutSvg(xml)))));
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

QByteArray DeckCopy::WithoutMath(const QByteArray &xml, int *replaced) {
    if (replaced)
        *replaced = 0;
    if (!holdsMath(xml))
        return xml;
    const QByteArray tag = "mc:AlternateContent";
    QByteArray out;
    qsizetype done = 0;
    for (qsizetype at = xml.indexOf('<' + tag); at >= 0; at = xml.indexOf('<' + tag, at + 1)) {
        if (at < done)
            continue; // inside one already replaced
        const qsizetype end = elementEnd(xml, at, tag);
        const QByteArray whole = end > 0 ? xml.mid(at, end - at) : QByteArray();
        // The fallback after the first choice (an alternative nested in the choice has fallbacks of its own).
        const qsizetype choice = whole.indexOf("<mc:Choice");
        const qsizetype choiceEnd = choice >= 0 ? elementEnd(whole, choice, "mc:Choice") : -1;
        const qsizetype fallback = choiceEnd > 0 ? whole.indexOf("<mc:Fallback", choiceEnd) : -1;
        const qsizetype inner = fallback >= 0 ? whole.indexOf('>', fallback) + 1 : -1;
        const qsizetype innerEnd = whole.lastIndexOf("</mc:Fallback>");
        if (end < 0 || fallback < 0 || inner <= 0 || innerEnd < inner || !holdsMath(whole.left(fallback)))
            continue;
        out += xml.mid(done, at - done) + whole.mid(inner, innerEnd - inner);
        done = end;
        if (replaced)
            ++*replaced;
    }
    return done == 0 ? xml : out + xml.mid(done);
}

QByteArray DeckCopy::WithoutPictureShadows(const QByteArray &xml) {
    if (!xml.contains("<a:outerShdw"))
        return xml;
    return eachProperties(xml, [](const QByteArray &inside) {
        const double opacity = inside.contains("<a:outerShdw") ? pictureOpacity(inside) : -1.0;
        return opacity < 0.0 || opacity >= 1.0 ? inside : unshadowed(inside);
    });
}

QByteArray DeckCopy::WithLineBasedSpacing(const QByteArray &xml) {
    if (!xml.contains("<a:spcPct"))
        return xml;
    const QString text = QString::fromUtf8(xml);
    QString out;
    qsizetype done = 0;
    for (QRegularExpressionMatchIterator it = percentSpacing().globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const qint64 share = m.captured(2).toLongLong();
        if (share == 0)
            continue;
        out += QStringView(text).mid(done, m.capturedStart(2) - done);
        out += QString::number((share * 6 + 2) / 5); // a line is 1.2 times the text's size
        done = m.capturedEnd(2);
    }
    if (done == 0)
        return xml;
    out += QStringView(text).mid(done);
    return out.toUtf8();
}

QByteArray DeckCopy::WithOverlaidFills(const QByteArray &xml) {
    return xml.contains("<a:fillOverlay") ? eachProperties(xml, overlaid) : xml;
}

QList<QPair<int, int>> DeckCopy::EquationPictures(const DeckPackage &package) {
    QList<QPair<int, int>> slides;
    const QStringList parts = package.IsOpen() ? package.SlideParts() : QStringList();
    for (qsizetype k = 0; k < parts.size(); ++k) {
        int count = 0;
        WithoutMath(package.Read(parts.at(k), 64 << 20), &count);
        if (count > 0)
            slides.append({int(k + 1), count});
    }
    return slides;
}

bool DeckCopy::Needed(const DeckPackage &package, const QHash<QString, QString> &fonts) {
    if (!package.IsOpen())
        return false;
    if (!fonts.isEmpty())
        return true;
    for (const QString &part : package.Parts()) {
        if (!mendable(part))
            continue;
        const QByteArray xml = package.Read(part, 64 << 20);
        if (mendedPart(part, xml) != xml)
            return true;
    }
    return false;
}

QString DeckCopy::Make(const DeckPackage &package, const QString &dir, const QHash<QString, QString> &fonts) {
    const QString copy = dir + u'/' + QFileInfo(package.Path()).fileName();
    const bool written = package.WriteCopy(copy, [&fonts](const QString &name, const QByteArray &data) {
        const QByteArray mended = mendedPart(name, data);
        return DeckTypefaces::TextPart(name) ? DeckTypefaces::Renamed(mended, fonts) : mended;
    });
    return written ? copy : QString();
}

} // namespace deck
