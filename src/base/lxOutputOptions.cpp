#include "base/lxOutputOptions.h"

#include "base/lxError.h"

#include <QHash>
#include <QRegularExpression>

#include <algorithm>

namespace {
// The presentation application's own codes where it has one; it has none for compressed EMF and SVG, which
// take codes of their own above its range.
constexpr int kCodeEmf = 23;
constexpr int kCodePng = 18;
constexpr int kCodePdf = 32;
constexpr int kCodeEmz = 101;
constexpr int kCodeSvg = 102;

struct FormatInfo {
    TlxOutputOptions::Format format;
    const char *name;
    int code;
};
constexpr FormatInfo kFormats[] = {
    {TlxOutputOptions::Format::Emf, "emf", kCodeEmf}, {TlxOutputOptions::Format::Emz, "emz", kCodeEmz},
    {TlxOutputOptions::Format::Svg, "svg", kCodeSvg}, {TlxOutputOptions::Format::Png, "png", kCodePng},
    {TlxOutputOptions::Format::Pdf, "pdf", kCodePdf},
};

const FormatInfo &infoOf(TlxOutputOptions::Format format) {
    for (const FormatInfo &f : kFormats)
        if (f.format == format)
            return f;
    return kFormats[0];
}

int parseCount(const QString &name, const QString &text, int fallback, int low, int high, const char *hint) {
    const QString t = text.trimmed();
    if (t.isEmpty())
        return fallback;
    bool ok = false;
    const int value = t.toInt(&ok);
    if (!ok || value < low || value > high)
        throw ElxError(QStringLiteral("Invalid %1 \"%2\": %3").arg(name, text, QLatin1String(hint)));
    return value;
}
} // namespace

TlxOutputOptions TlxOutputOptions::Parse(const QString &format, const QString &slides, const QString &imageResolution,
                                         const QString &pngWidth) {
    TlxOutputOptions o;
    const QString name = format.trimmed();
    if (!name.isEmpty()) {
        bool known = false;
        for (const FormatInfo &f : kFormats) {
            if (name.compare(QLatin1String(f.name), Qt::CaseInsensitive) == 0) {
                o.format = f.format;
                known = true;
            }
        }
        if (!known)
            throw ElxError(QStringLiteral("Invalid Format \"%1\": use emf, emz, svg, png or pdf").arg(format));
    }
    o.imageResolution = parseCount(QStringLiteral("ImageResolution"), imageResolution, o.imageResolution, 0, 100000,
                                   "give pixels per inch, for example 220, or 0 to keep every picture as it is");
    o.pngWidth = parseCount(QStringLiteral("PngWidth"), pngWidth, o.pngWidth, 16, 20000,
                            "give the width of a slide's picture in pixels, from 16 to 20000");

    const QString list = slides.trimmed();
    if (!list.isEmpty() && list.compare(QLatin1String("all"), Qt::CaseInsensitive) != 0) {
        static const QRegularExpression range(QStringLiteral("^\\s*([0-9]{1,6})\\s*(-\\s*([0-9]{0,6}))?\\s*$"));
        for (const QString &part : list.split(u',')) {
            const QRegularExpressionMatch m = range.match(part);
            const int first = m.hasMatch() ? m.captured(1).toInt() : 0;
            const bool open = m.hasMatch() && m.hasCaptured(2) && m.captured(3).isEmpty();
            const int last = !m.hasMatch() ? 0 : open ? 0 : m.hasCaptured(2) ? m.captured(3).toInt() : first;
            if (first < 1 || (!open && last < first))
                throw ElxError(QStringLiteral("Invalid Slides \"%1\": give slide numbers and ranges from 1, for "
                                              "example 1 or 2-4 or 1,3,5- (5- runs to the last slide)")
                                   .arg(slides));
            o.m_ranges << Range{first, last};
        }
    }
    return o;
}

QString TlxOutputOptions::Text() const {
    return QStringLiteral("Format=%1;Slides=%2;ImageResolution=%3;PngWidth=%4")
        .arg(FormatName(), SlidesText())
        .arg(imageResolution)
        .arg(pngWidth);
}

TlxOutputOptions TlxOutputOptions::FromText(const QString &text) {
    QHash<QString, QString> values;
    for (const QString &pair : text.split(u';', Qt::SkipEmptyParts))
        values.insert(pair.section(u'=', 0, 0).trimmed().toLower(), pair.section(u'=', 1));
    return Parse(values.value(QStringLiteral("format")), values.value(QStringLiteral("slides")),
                 values.value(QStringLiteral("imageresolution")), values.value(QStringLiteral("pngwidth")));
}

QStringList TlxOutputOptions::DefaultLines() {
    const TlxOutputOptions d;
    return {QStringLiteral("Format=") + d.FormatName(), QStringLiteral("Slides=") + d.SlidesText(),
            QStringLiteral("ImageResolution=%1").arg(d.imageResolution), QStringLiteral("PngWidth=%1").arg(d.pngWidth)};
}

QString TlxOutputOptions::Extension() const {
    return u'.' + FormatName();
}

QString TlxOutputOptions::FormatName() const {
    return QLatin1String(infoOf(format).name);
}

int TlxOutputOptions::SaveAsCode() const {
    return infoOf(format).code;
}

bool TlxOutputOptions::FromSaveAsCode(int code, Format *format) {
    for (const FormatInfo &f : kFormats) {
        if (f.code == code) {
            *format = f.format;
            return true;
        }
    }
    return false;
}

bool TlxOutputOptions::Takes(int slide) const {
    if (m_ranges.isEmpty())
        return slide >= 1;
    return std::any_of(m_ranges.begin(), m_ranges.end(),
                       [slide](const Range &r) { return slide >= r.first && (r.last == 0 || slide <= r.last); });
}

QList<int> TlxOutputOptions::ChosenSlides(int count) const {
    QList<int> slides;
    for (int k = 1; k <= count; ++k)
        if (Takes(k))
            slides << k;
    return slides;
}

int TlxOutputOptions::FirstSlide() const {
    int first = m_ranges.isEmpty() ? 1 : m_ranges.first().first;
    for (const Range &r : m_ranges)
        first = std::min(first, r.first);
    return first;
}

int TlxOutputOptions::OpenFrom() const {
    if (m_ranges.isEmpty())
        return 1;
    int from = 0;
    for (const Range &r : m_ranges)
        if (r.last == 0 && (from == 0 || r.first < from))
            from = r.first;
    return from;
}

int TlxOutputOptions::LastSlide() const {
    int last = 0;
    for (const Range &r : m_ranges)
        last = std::max(last, r.last);
    return last;
}

QString TlxOutputOptions::SlidesText() const {
    if (m_ranges.isEmpty())
        return QStringLiteral("all");
    QStringList parts;
    for (const Range &r : m_ranges)
        parts << (r.last == r.first ? QString::number(r.first)
                  : r.last == 0     ? QStringLiteral("%1-").arg(r.first)
                                    : QStringLiteral("%1-%2").arg(r.first).arg(r.last));
    return parts.join(u',');
}

QString TlxOutputOptions::SlidePath(const QString &path, int slide) {
    if (slide == 1)
        return path;
    const qsizetype slash = path.lastIndexOf(u'/');
    const qsizetype dot = path.lastIndexOf(u'.');
    if (dot > slash + 1)
        return path.left(dot) + QStringLiteral("-%1").arg(slide) + path.mid(dot);
    return path + QStringLiteral("-%1").arg(slide);
}
