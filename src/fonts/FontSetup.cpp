#include "fonts/FontSetup.h"

#include "deck/DeckPackage.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtEndian>

#include <fontconfig/fontconfig.h>

namespace fonts {

extern const char kStandInsTable[]; // the stand-ins table, built in from fonts/stand-ins.tsv

namespace {
// One font of the deck's list: the family the slides ask for and the part that holds one of its faces.
struct EmbeddedFace {
    QString family, face, part;
};

QList<EmbeddedFace> embeddedFaces(const deck::DeckPackage &deck) {
    const QHash<QString, QString> targets = deck.PresentationTargets();
    QList<EmbeddedFace> faces;
    QXmlStreamReader xml(deck.Read(QStringLiteral("ppt/presentation.xml"), 16 << 20));
    QString family;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QStringView name = xml.name();
        if (name == QLatin1String("font")) {
            family = xml.attributes().value(QLatin1String("typeface")).toString();
            continue;
        }
        if (name != QLatin1String("regular") && name != QLatin1String("bold") && name != QLatin1String("italic") &&
            name != QLatin1String("boldItalic"))
            continue;
        for (const QXmlStreamAttribute &a : xml.attributes())
            if (a.name() == QLatin1String("id") && targets.contains(a.value().toString()) && !family.isEmpty())
                faces.append({family, name.toString(), targets.value(a.value().toString())});
    }
    return faces;
}

// Whether the bytes are a TrueType or OpenType font whose table directory lies inside them.
bool looksLikeFont(const QByteArray &font) {
    if (font.size() < 12)
        return false;
    const quint32 version = qFromBigEndian<quint32>(font.constData());
    if (version != 0x00010000 && version != 0x4F54544F /* OTTO */ && version != 0x74727565 /* true */)
        return false;
    const quint16 tables = qFromBigEndian<quint16>(font.constData() + 4);
    if (tables == 0 || tables > 512 || 12 + 16 * qsizetype(tables) > font.size())
        return false;
    for (int i = 0; i < tables; ++i) {
        const char *entry = font.constData() + 12 + 16 * i;
        const quint64 offset = qFromBigEndian<quint32>(entry + 8), length = qFromBigEndian<quint32>(entry + 12);
        if (offset + length > quint64(font.size()))
            return false;
    }
    return true;
}

// PowerPoint keeps each font as Embedded OpenType, mostly compressed (MicroType Express) and sometimes
// obfuscated. The decoder runs as a process of its own: a font made to crash or hang it fails only itself.
QByteArray decodeEot(const QByteArray &eot, QString *why) {
    const QString decoder = QStandardPaths::findExecutable(QStringLiteral("eot2ttf"));
    if (decoder.isEmpty()) {
        *why = QStringLiteral("eot2ttf is not installed");
        return {};
    }
    QTemporaryDir dir;
    QFile in(dir.filePath(QStringLiteral("font.eot")));
    if (!dir.isValid() || !in.open(QIODevice::WriteOnly) || in.write(eot) != eot.size()) {
        *why = QStringLiteral("no room for a temporary file");
        return {};
    }
    in.close();
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(decoder, {in.fileName(), dir.filePath(QStringLiteral("font.ttf"))});
    if (!p.waitForFinished(10000)) {
        p.kill();
        p.waitForFinished();
        *why = QStringLiteral("its decoding did not end");
        return {};
    }
    QFile out(dir.filePath(QStringLiteral("font.ttf")));
    QByteArray font;
    if (p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0 && out.open(QIODevice::ReadOnly))
        font = out.readAll();
    if (!looksLikeFont(font)) {
        *why = QStringLiteral("it could not be decoded (damaged, or a kind the decoder does not know)");
        return {};
    }
    return font;
}

// The families fontconfig's rules make of a pattern asking for family, in the order it would try them.
QStringList substituted(const QString &family) {
    FcPattern *pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8 *>(family.toUtf8().constData()));
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    QStringList families;
    FcChar8 *name = nullptr;
    for (int i = 0; FcPatternGetString(pattern, FC_FAMILY, i, &name) == FcResultMatch; ++i)
        families << QString::fromUtf8(reinterpret_cast<const char *>(name));
    FcPatternDestroy(pattern);
    return families;
}

QByteArray xmlText(const QString &s) {
    return s.toHtmlEscaped().toUtf8();
}
} // namespace

const QList<FontSetup::StandIn> &FontSetup::StandIns() {
    static const QList<StandIn> table = [] {
        QList<StandIn> t;
        for (const QString &line : QString::fromUtf8(kStandInsTable).split(u'\n')) {
            const QStringList cells = line.split(u'\t');
            if (line.startsWith(u'#') || cells.size() < 2 || cells.at(0).isEmpty() ||
                cells.at(0) == QLatin1String("font"))
                continue;
            QStringList choices = cells.at(1).split(u',');
            for (QString &choice : choices)
                choice = choice.trimmed();
            t.append({cells.at(0).trimmed(), choices});
        }
        return t;
    }();
    return table;
}

QString FontSetup::StandInFor(const QString &font) {
    for (const StandIn &s : StandIns())
        if (s.font.compare(font, Qt::CaseInsensitive) == 0) {
            // The first choice the machine has, as fontconfig takes them; the last where it has none.
            for (const QString &choice : s.standIns)
                if (Installed(choice))
                    return choice;
            return s.standIns.last();
        }
    return QString();
}

bool FontSetup::Installed(const QString &family) {
    FcPattern *pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8 *>(family.toUtf8().constData()));
    FcObjectSet *objects = FcObjectSetBuild(FC_FAMILY, nullptr);
    FcFontSet *found = FcFontList(nullptr, pattern, objects);
    const bool installed = found && found->nfont > 0;
    if (found)
        FcFontSetDestroy(found);
    FcObjectSetDestroy(objects);
    FcPatternDestroy(pattern);
    return installed;
}

QString FontSetup::AliasFor(const QString &family) {
    // A name no rule knows is followed by the default families only: what comes before them was put there by a
    // rule for this name.
    static const QStringList fallback = substituted(QStringLiteral("Vorlane No Such Family"));
    const QStringList families = substituted(family);
    for (qsizetype i = 1; i < families.size(); ++i) {
        if (fallback.contains(families.at(i)))
            break;
        if (Installed(families.at(i)))
            return families.at(i);
    }
    return QString();
}

QList<FontSetup::File> FontSetup::DeckFonts(const deck::DeckPackage &package, QStringList *notUsed) {
    QList<File> files;
    if (!package.IsOpen())
        return files;
    for (const EmbeddedFace &face : embeddedFaces(package)) {
        if (Installed(face.family))
            continue;
        QString why;
        const QByteArray eot = package.Read(face.part, 32 << 20);
        const QByteArray font = eot.isEmpty() ? QByteArray() : decodeEot(eot, &why);
        if (font.isEmpty()) {
            notUsed->append(QStringLiteral("%1 (%2): %3")
                                .arg(face.family, face.face, why.isEmpty() ? QStringLiteral("it is missing") : why));
            continue;
        }
        files.append({QStringLiteral("deck-font-%1.ttf").arg(files.size() + 1), font});
    }
    return files;
}

QSet<QString> FontSetup::CarriedFamilies(const deck::DeckPackage &deck) {
    QSet<QString> families;
    if (deck.IsOpen())
        for (const EmbeddedFace &face : embeddedFaces(deck))
            families.insert(face.family);
    return families;
}

QByteArray FontSetup::FontconfigFile(const QString &fontDir, const QString &cacheDir) {
    FcChar8 *system = FcConfigFilename(nullptr);
    const QString machine =
        system ? QString::fromUtf8(reinterpret_cast<const char *>(system)) : QStringLiteral("/etc/fonts/fonts.conf");
    if (system)
        FcStrFree(system);
    QByteArray conf = "<?xml version=\"1.0\"?>\n<!DOCTYPE fontconfig SYSTEM \"fonts.dtd\">\n<fontconfig>\n";
    conf += "  <cachedir>" + xmlText(cacheDir) + "</cachedir>\n";
    conf += "  <include ignore_missing=\"yes\">" + xmlText(machine) + "</include>\n";
    conf += "  <dir>" + xmlText(fontDir) + "</dir>\n";
    // After the machine's own rules: the table names only fonts for which the machine has no metric twin.
    for (const StandIn &s : StandIns()) {
        // A font the machine has since got (Wine's Tahoma, a web family the setup made) draws itself.
        if (Installed(s.font))
            continue;
        conf += "  <alias binding=\"same\"><family>" + xmlText(s.font) + "</family><prefer>";
        for (const QString &choice : s.standIns)
            conf += "<family>" + xmlText(choice) + "</family>";
        conf += "</prefer></alias>\n";
    }
    conf += "</fontconfig>\n";
    return conf;
}

} // namespace fonts
