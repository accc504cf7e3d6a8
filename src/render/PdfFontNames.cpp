#include "render/PdfFontNames.h"

#include <QHash>
#include <QRegularExpression>

#include <fontconfig/fontconfig.h>

#include <mutex>
#include <utility>
#include <vector>

namespace {
// The family fontconfig knows under a PostScript name, or empty.
QString familyOf(const QString &postscript) {
    static std::mutex lock;
    static QHash<QString, QString> known;
    std::lock_guard guard(lock);
    auto it = known.constFind(postscript);
    if (it != known.constEnd())
        return *it;
    QString family;
    FcPattern *pattern = FcPatternCreate();
    const QByteArray name = postscript.toUtf8();
    FcPatternAddString(pattern, FC_POSTSCRIPT_NAME, reinterpret_cast<const FcChar8 *>(name.constData()));
    FcObjectSet *objects = FcObjectSetBuild(FC_FAMILY, nullptr);
    if (FcFontSet *set = FcFontList(nullptr, pattern, objects)) {
        FcChar8 *value = nullptr;
        if (set->nfont > 0 && FcPatternGetString(set->fonts[0], FC_FAMILY, 0, &value) == FcResultMatch)
            family = QString::fromUtf8(reinterpret_cast<const char *>(value));
        FcFontSetDestroy(set);
    }
    FcObjectSetDestroy(objects);
    FcPatternDestroy(pattern);
    known.insert(postscript, family);
    return family;
}

// The family of an installed font whose PostScript name is base with any style after it ("NotoSansCJKjp" for
// "NotoSansCJKjp-Regular"), letter case aside; empty when there is none.
QString familyByStem(const QString &base) {
    static std::once_flag once;
    static std::vector<std::pair<QString, QString>> fonts; // lower-case PostScript name, family
    std::call_once(once, [] {
        FcPattern *all = FcPatternCreate();
        FcObjectSet *objects = FcObjectSetBuild(FC_POSTSCRIPT_NAME, FC_FAMILY, nullptr);
        if (FcFontSet *set = FcFontList(nullptr, all, objects)) {
            for (int i = 0; i < set->nfont; ++i) {
                FcChar8 *ps = nullptr, *family = nullptr;
                if (FcPatternGetString(set->fonts[i], FC_POSTSCRIPT_NAME, 0, &ps) == FcResultMatch &&
                    FcPatternGetString(set->fonts[i], FC_FAMILY, 0, &family) == FcResultMatch)
                    fonts.emplace_back(QString::fromUtf8(reinterpret_cast<const char *>(ps)).toLower(),
                                       QString::fromUtf8(reinterpret_cast<const char *>(family)));
            }
            FcFontSetDestroy(set);
        }
        FcObjectSetDestroy(objects);
        FcPatternDestroy(all);
    });
    const QString stem = base.toLower();
    for (const auto &[ps, family] : fonts)
        if (ps == stem || ps.startsWith(stem + u'-'))
            return family;
    return QString();
}

// "SourceSansPro" -> "Source Sans Pro": a PostScript family name spelled as people name the font.
QString spaced(const QString &name) {
    QString out;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const QChar c = name.at(i);
        if (i > 0 && c.isUpper() && name.at(i - 1).isLower())
            out += u' ';
        out += c;
    }
    return out;
}
} // namespace

QString PdfFontNames::Original(const QString &family) {
    static const QHash<QString, QString> twins = {
        {QStringLiteral("Carlito"), QStringLiteral("Calibri")},
        {QStringLiteral("Caladea"), QStringLiteral("Cambria")},
        {QStringLiteral("Liberation Sans"), QStringLiteral("Arial")},
        {QStringLiteral("Liberation Serif"), QStringLiteral("Times New Roman")},
        {QStringLiteral("Liberation Mono"), QStringLiteral("Courier New")},
        {QStringLiteral("Liberation Sans Narrow"), QStringLiteral("Arial Narrow")},
        {QStringLiteral("Arimo"), QStringLiteral("Arial")},
        {QStringLiteral("Tinos"), QStringLiteral("Times New Roman")},
        {QStringLiteral("Cousine"), QStringLiteral("Courier New")},
        {QStringLiteral("Gelasio"), QStringLiteral("Georgia")},
        {QStringLiteral("Selawik"), QStringLiteral("Segoe UI")},
        {QStringLiteral("Liberation Sans Narrow"), QStringLiteral("Arial Narrow")},
        // The office's stand-ins for fonts no free font copies, where no deck is likely to ask for the stand-in
        // itself: Windows, which has the font, draws it at the stand-in's advances (chosen to match).
        {QStringLiteral("Noto Sans Display"), QStringLiteral("Segoe UI")},
        {QStringLiteral("Cantarell"), QStringLiteral("Aptos")},
        {QStringLiteral("URW Gothic"), QStringLiteral("Century Gothic")},
    };
    return twins.value(family, family);
}

PdfFontNames::Face PdfFontNames::For(const QString &pdfName, bool boldFlag, bool italicFlag) {
    static const QRegularExpression subset(QStringLiteral("^[A-Z]{6}\\+"));
    static const QRegularExpression encoding(QStringLiteral("-Identity-[HV]$"));
    QString name = pdfName;
    name.remove(subset);
    name.remove(encoding);
    Face face;
    face.bold = boldFlag;
    face.italic = italicFlag;
    const qsizetype cut = name.indexOf(QRegularExpression(QStringLiteral("[-,]")));
    const QString base = cut > 0 ? name.left(cut) : name;
    const QString style = cut > 0 ? name.mid(cut + 1) : QString();
    if (style.contains(QLatin1String("Bold"), Qt::CaseInsensitive) ||
        style.contains(QLatin1String("Black"), Qt::CaseInsensitive) ||
        style.contains(QLatin1String("Heavy"), Qt::CaseInsensitive))
        face.bold = true;
    if (style.contains(QLatin1String("Italic"), Qt::CaseInsensitive) ||
        style.contains(QLatin1String("Oblique"), Qt::CaseInsensitive))
        face.italic = true;
    QString family = familyOf(name);
    if (family.isEmpty())
        family = familyOf(base);
    if (family.isEmpty())
        family = familyByStem(base);
    if (family.isEmpty())
        family = spaced(base);
    face.family = Original(family);
    return face;
}
