// Which installed font sets lines as wide as a font the machine lacks, measured on PDFs that carry that font.
//
// Usage: fontwidths [--candidates FAMILY,FAMILY,...] PDF...
//        fontwidths --dump FACE PDF...     each character's advance in that face (thousandths of an em), one a line:
//                                          the widths a width-matched twin is made to (fonts/widths/)
//   Every font a PDF names (PowerPoint and Word write each glyph's advance into it) is measured on common slide
//   text: the advance of each character the PDF has, weighted by how often it occurs in that text. Each candidate
//   family installed here (the same weight and slant, through fontconfig) is measured on the same characters;
//   printed are the font, how many of the text's characters the PDF had, and the candidates closest to it by
//   the ratio of the two widths (1.000 sets lines exactly as wide). A line breaks where PowerPoint breaks it only
//   when this ratio is close to 1: the stand-ins table of the office's fonts is chosen from this output.
#include <GfxFont.h>
#include <GlobalParams.h>
#include <PDFDoc.h>
#include <Page.h>
#include <fontconfig/fontconfig.h>

#include <QGuiApplication>
#include <QHash>
#include <QMap>
#include <QRawFont>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

namespace {
// Text as slides have it: headings, bullets, figures, punctuation. Its characters' frequencies are the weights.
const char kSample[] =
    "Introduction to the Project Overview and Goals for 2024. What we learned: results, methods and next steps. "
    "The quick brown fox jumps over the lazy dog. Revenue grew 12.5% in Q3, up from $4,800 (see Figure 2). "
    "Key Findings - Data Analysis, Performance & Quality; Questions? Thank you! Agenda: Background, Design, "
    "Implementation, Evaluation, Conclusion. www.example.com/contact - Summary of the main points of this talk.";

struct Face {
    QString name; // the PDF's name for it, subset tag stripped
    bool bold = false, italic = false, serif = false, fixed = false;
    QMap<uint, double> advance; // per character, in ems
};

QString faceKey(const GfxFont &font) {
    const std::optional<std::string> &name = font.getName();
    QString n = name ? QString::fromStdString(*name) : QString();
    if (n.size() > 7 && n.at(6) == u'+')
        n = n.mid(7);
    return n.replace(u',', u'-'); // "Aptos,Bold" is a face of its own
}

void addFont(QHash<QString, Face> &faces, GfxFont &font) {
    Face &face = faces[faceKey(font)];
    face.name = faceKey(font);
    const QString lower = face.name.toLower();
    face.serif = face.serif || font.isSerif();
    face.fixed = face.fixed || font.isFixedWidth();
    face.bold = face.bold || font.isBold() || lower.contains(QLatin1String("bold"));
    face.italic = face.italic || font.isItalic() || lower.contains(QLatin1String("italic"));
    // Each code through the font's own decoding: its character and its advance (in ems).
    const int bytes = font.isCIDFont() ? 2 : 1;
    for (int code = 0; code < (1 << (8 * bytes)); ++code) {
        const char text[2] = {char(bytes == 2 ? code >> 8 : code), char(code & 0xff)};
        CharCode decoded = 0;
        const Unicode *u = nullptr;
        int length = 0;
        double dx = 0, dy = 0, ox = 0, oy = 0;
        if (font.getNextChar(text, bytes, &decoded, &u, &length, &dx, &dy, &ox, &oy) != bytes || length < 1 || !u)
            continue;
        if (dx > 0 && !face.advance.contains(u[0]))
            face.advance.insert(u[0], dx);
    }
}

void readPdf(const char *path, QHash<QString, Face> &faces) {
    auto doc = std::make_unique<PDFDoc>(std::make_unique<GooString>(path));
    if (!doc->isOk()) {
        std::fprintf(stderr, "%s: not a PDF poppler can read\n", path);
        return;
    }
    for (int p = 1; p <= doc->getNumPages(); ++p) {
        Dict *resources = doc->getPage(p) ? doc->getPage(p)->getResourceDict() : nullptr;
        if (!resources)
            continue;
        Object fonts = resources->lookup("Font");
        if (!fonts.isDict())
            continue;
        Dict *dict = fonts.getDict();
        for (int i = 0; i < dict->getLength(); ++i) {
            const Object &ref = dict->getValNF(i);
            Object font = dict->getVal(i);
            if (!font.isDict())
                continue;
            const std::unique_ptr<GfxFont> made = GfxFont::makeFont(
                doc->getXRef(), dict->getKey(i), ref.isRef() ? ref.getRef() : Ref::INVALID(), font.getDict());
            if (made && made->isOk())
                addFont(faces, *made);
        }
    }
}

// The file fontconfig gives for the family in this weight and slant, or empty when it would give another family.
QString fontFile(const QString &family, bool bold, bool italic) {
    FcPattern *pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8 *>(family.toUtf8().constData()));
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result;
    FcPattern *match = FcFontMatch(nullptr, pattern, &result);
    QString file;
    FcChar8 *found = nullptr, *name = nullptr;
    if (match && FcPatternGetString(match, FC_FAMILY, 0, &name) == FcResultMatch &&
        QString::fromUtf8(reinterpret_cast<char *>(name)).compare(family, Qt::CaseInsensitive) == 0 &&
        FcPatternGetString(match, FC_FILE, 0, &found) == FcResultMatch)
        file = QString::fromUtf8(reinterpret_cast<char *>(found));
    if (match)
        FcPatternDestroy(match);
    FcPatternDestroy(pattern);
    return file;
}

// Width of the sample in the candidate over its width in the face, on the characters the face has.
double ratio(const Face &face, const QString &file, int *covered) {
    QRawFont raw(file, 1000, QFont::PreferNoHinting);
    if (!raw.isValid())
        return -1;
    double ours = 0, theirs = 0;
    *covered = 0;
    for (const QChar c : QString::fromLatin1(kSample)) {
        const auto it = face.advance.constFind(c.unicode());
        if (it == face.advance.constEnd())
            continue;
        const QList<quint32> glyphs = raw.glyphIndexesForString(QString(c));
        if (glyphs.isEmpty() || glyphs.first() == 0)
            continue;
        const QList<QPointF> advances = raw.advancesForGlyphIndexes(glyphs, QRawFont::UseDesignMetrics);
        ours += advances.first().x() / 1000.0;
        theirs += it.value();
        ++*covered;
    }
    return theirs > 0 ? ours / theirs : -1;
}

// The candidates by kind: a stand-in keeps the kind of face the deck chose.
struct Candidates {
    QStringList sans, serif, mono;
};

Candidates defaultCandidates() {
    Candidates c;
    c.sans = QStringLiteral("Carlito,Liberation Sans,Liberation Sans Narrow,DejaVu Sans,DejaVu Sans Condensed,"
                            "Noto Sans,Open Sans,Open Sans Condensed,Lato,Roboto,Roboto Condensed,Inter,Cantarell,"
                            "Source Sans 3,Fira Sans,Ubuntu,Tahoma,Comic Neue,URW Gothic,Nimbus Sans,"
                            "Nimbus Sans Narrow,Arimo,Noto Sans Display,Quicksand,League Spartan,Karla,Cabin,Play,Jura,"
                            "Dosis,Manrope,Oswald,Raleway,Work Sans,Montserrat,Poppins,Titillium Web,Kanit")
                 .split(u',');
    c.serif = QStringLiteral("Caladea,Liberation Serif,DejaVu Serif,DejaVu Serif Condensed,Noto Serif,Roboto Slab,"
                             "C059,P052,URW Bookman,Nimbus Roman,EB Garamond,Gelasio,Tinos,STIX,Bitter,Arvo")
                  .split(u',');
    c.mono = QStringLiteral("Liberation Mono,DejaVu Sans Mono,Noto Sans Mono,Noto Mono,Cousine,Inconsolata,Fira Mono,"
                            "Fira Code,JetBrains Mono,Cascadia Code,Cascadia Mono,Nimbus Mono PS")
                 .split(u',');
    return c;
}

struct Scored {
    QString family;
    double ratio;
    int covered;
};

// Each candidate of the face's kind, closest first.
QList<Scored> score(const Face &face, const QStringList &candidates) {
    QList<Scored> scored;
    for (const QString &family : candidates) {
        const QString file = fontFile(family, face.bold, face.italic);
        int covered = 0;
        const double r = file.isEmpty() ? -1 : ratio(face, file, &covered);
        if (r > 0)
            scored.append({family, r, covered});
    }
    std::sort(scored.begin(), scored.end(),
              [](const Scored &a, const Scored &b) { return std::abs(a.ratio - 1) < std::abs(b.ratio - 1); });
    return scored;
}
} // namespace

int main(int argc, char **argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    globalParams = std::make_unique<GlobalParams>();
    Candidates candidates = defaultCandidates();
    QHash<QString, Face> faces;
    QString dump;
    for (int i = 1; i < argc; ++i) {
        if (QByteArray(argv[i]) == "--candidates" && i + 1 < argc)
            candidates.sans = candidates.serif = candidates.mono = QString::fromUtf8(argv[++i]).split(u',');
        else if (QByteArray(argv[i]) == "--dump" && i + 1 < argc)
            dump = QString::fromUtf8(argv[++i]);
        else
            readPdf(argv[i], faces);
    }
    if (!dump.isEmpty()) {
        const Face face = faces.value(dump);
        for (auto it = face.advance.cbegin(); it != face.advance.cend(); ++it)
            std::printf("%04X\t%.0f\n", it.key(), it.value() * 1000);
        return face.advance.isEmpty() ? 1 : 0;
    }
    QStringList names = faces.keys();
    std::sort(names.begin(), names.end());
    const int sampleLength = int(sizeof(kSample)) - 1;
    // PDFs often mark a face's kind wrongly (PowerPoint calls Calibri fixed-pitch): each kind is measured, and
    // the table takes the stand-in of the kind the font is. A family's stand-in serves all its faces: the
    // candidates by their mean distance from 1 over the faces measured.
    using Kind = QStringList Candidates::*;
    const std::pair<const char *, Kind> kinds[] = {
        {"sans", &Candidates::sans}, {"serif", &Candidates::serif}, {"mono", &Candidates::mono}};
    QMap<QString, QMap<QString, QList<double>>> families;
    for (const QString &name : names) {
        const Face &face = faces.value(name);
        std::printf("%-34s", qPrintable(name));
        for (const auto &[kind, list] : kinds) {
            const QList<Scored> scored = score(face, candidates.*list);
            if (scored.isEmpty() || scored.first().covered < sampleLength / 4)
                continue;
            std::printf("  %s: %s %.3f", kind, qPrintable(scored.first().family), scored.first().ratio);
            for (const Scored &s : scored)
                families[name.section(u'-', 0, 0)][QLatin1String(kind) + u' ' + s.family] << std::abs(s.ratio - 1);
        }
        std::printf("\n");
    }
    std::printf("\nby family, each kind's closest (mean distance from 1 over its faces):\n");
    for (auto f = families.cbegin(); f != families.cend(); ++f) {
        QMap<QString, std::pair<double, QString>> best; // kind -> closest
        qsizetype faceCount = 0;
        for (auto c = f.value().cbegin(); c != f.value().cend(); ++c)
            faceCount = std::max(faceCount, c.value().size());
        for (auto c = f.value().cbegin(); c != f.value().cend(); ++c) {
            if (c.value().size() < faceCount)
                continue; // not drawn in every face
            double sum = 0;
            for (double d : c.value())
                sum += d;
            const QString kind = c.key().section(u' ', 0, 0);
            const double mean = sum / double(c.value().size());
            if (!best.contains(kind) || mean < best.value(kind).first)
                best.insert(kind, {mean, c.key().section(u' ', 1)});
        }
        std::printf("%-26s %lld faces", qPrintable(f.key()), qlonglong(faceCount));
        for (auto b = best.cbegin(); b != best.cend(); ++b)
            std::printf("  %s: %s %.3f", qPrintable(b.key()), qPrintable(b.value().second), b.value().first);
        std::printf("\n");
    }
    return 0;
}
