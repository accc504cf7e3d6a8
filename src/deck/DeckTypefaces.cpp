#include "deck/DeckTypefaces.h"

#include "deck/DeckPackage.h"

#include <QRegularExpression>
#include <QXmlStreamReader>

namespace deck {

namespace {
bool textFont(QStringView name) {
    return name == QLatin1String("latin") || name == QLatin1String("ea") || name == QLatin1String("cs");
}

bool anyFont(QStringView name) {
    return textFont(name) || name == QLatin1String("sym") || name == QLatin1String("buFont");
}

// An attribute's text as the XML reader gives it: the five entities XML names replaced.
QString unescaped(QString value) {
    if (!value.contains(u'&'))
        return value;
    value.replace(QLatin1String("&lt;"), QLatin1String("<"));
    value.replace(QLatin1String("&gt;"), QLatin1String(">"));
    value.replace(QLatin1String("&quot;"), QLatin1String("\""));
    value.replace(QLatin1String("&apos;"), QLatin1String("'"));
    value.replace(QLatin1String("&amp;"), QLatin1String("&"));
    return value;
}

// Adds what one element says of its typeface to the list (a new entry, or what an earlier one lacked).
void note(const QXmlStreamReader &r, bool theme, QList<DeckTypefaces::Typeface> &list, QHash<QString, qsizetype> &at) {
    const QXmlStreamAttributes a = r.attributes();
    const QString name = a.value(QLatin1String("typeface")).toString().trimmed();
    if (name.isEmpty() || name.startsWith(u'+'))
        return;
    if (!at.contains(name)) {
        at.insert(name, list.size());
        list.append({name, {}, -1, -1, true, false});
    }
    DeckTypefaces::Typeface &t = list[at.value(name)];
    t.inTheme = t.inTheme || theme;
    t.bulletOnly = t.bulletOnly && !textFont(r.name());
    const QByteArray panose = QByteArray::fromHex(a.value(QLatin1String("panose")).toLatin1());
    if (t.panose.isEmpty() && panose.size() == 10)
        t.panose = panose;
    bool ok = false;
    const int pitch = a.value(QLatin1String("pitchFamily")).toInt(&ok);
    if (t.pitchFamily < 0 && ok)
        t.pitchFamily = pitch;
    const int charset = a.value(QLatin1String("charset")).toInt(&ok);
    if (t.charset < 0 && ok)
        t.charset = charset;
}
} // namespace

bool DeckTypefaces::TextPart(const QString &part) {
    if (!part.endsWith(QLatin1String(".xml")))
        return false;
    for (const char *folder : {"ppt/theme/", "ppt/slideMasters/", "ppt/slideLayouts/", "ppt/slides/"})
        if (part.startsWith(QLatin1String(folder)) && part.indexOf(u'/', qsizetype(qstrlen(folder))) < 0)
            return true;
    return false;
}

QList<DeckTypefaces::Typeface> DeckTypefaces::Of(const DeckPackage &deck) {
    QList<Typeface> list;
    QHash<QString, qsizetype> at;
    QStringList parts = deck.Parts();
    parts.sort();
    for (const QString &part : parts) {
        if (!TextPart(part))
            continue;
        const bool theme = part.startsWith(QLatin1String("ppt/theme/"));
        QXmlStreamReader r(deck.Read(part, 16 << 20));
        while (!r.atEnd())
            if (r.readNext() == QXmlStreamReader::StartElement && anyFont(r.name()))
                note(r, theme, list, at);
    }
    return list;
}

QString DeckTypefaces::BodyFont(const DeckPackage &deck) {
    // The theme of the first slide's master: the one the slides' text is set from.
    const QStringList slides = deck.SlideParts();
    const QString master = slides.isEmpty() ? QString() : deck.MasterOf(slides.first());
    const QString theme = deck.RelatedPart(master, QStringLiteral("theme"));
    QXmlStreamReader r(theme.isEmpty() ? QByteArray() : deck.Read(theme, 16 << 20));
    bool minor = false;
    while (!r.atEnd()) {
        const QXmlStreamReader::TokenType token = r.readNext();
        if (token == QXmlStreamReader::EndElement && r.name() == QLatin1String("minorFont"))
            break;
        if (token != QXmlStreamReader::StartElement)
            continue;
        minor = minor || r.name() == QLatin1String("minorFont");
        if (minor && r.name() == QLatin1String("latin"))
            return r.attributes().value(QLatin1String("typeface")).toString().trimmed();
    }
    return QString();
}

QByteArray DeckTypefaces::Renamed(const QByteArray &xml, const QHash<QString, QString> &renames) {
    if (renames.isEmpty())
        return xml;
    // <a:latin typeface="Tw Cen MT" panose="..."/>: only the typeface's value changes.
    static const QRegularExpression element(
        QStringLiteral("(<(?:[A-Za-z_][\\w.-]*:)?(?:latin|ea|cs)\\b[^>]*?\\stypeface=\")([^\"]*)(\")"));
    const QString text = QString::fromUtf8(xml);
    QString out;
    qsizetype done = 0;
    bool changed = false;
    for (QRegularExpressionMatchIterator it = element.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const QString plain = unescaped(m.captured(2)).trimmed();
        if (!renames.contains(plain))
            continue;
        out += QStringView(text).mid(done, m.capturedStart(2) - done);
        out += renames.value(plain).toHtmlEscaped();
        done = m.capturedEnd(2);
        changed = true;
    }
    if (!changed)
        return xml;
    out += QStringView(text).mid(done);
    return out.toUtf8();
}

} // namespace deck
