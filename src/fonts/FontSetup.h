#pragma once

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

namespace deck {
class DeckPackage;
}

namespace fonts {

// The fonts an office draws a deck with: the machine's own, stand-ins for fonts it lacks (chosen by width, so
// that lines break where they break in the program the deck was made with), and the fonts the deck carries.
class FontSetup {
public:
    // A font decks ask for and the installed font that sets text closest to its width.
    struct StandIn {
        QString font;
        QStringList standIns; // the table's choices, best first: the first the machine has draws
    };
    static const QList<StandIn> &StandIns();
    // The stand-in the table gives for a font, or empty.
    static QString StandInFor(const QString &font);
    // Whether a family is one of the width-matched twins the setup makes (fonts/twins.tsv): they, and only they,
    // are named "Vorlane ...".
    static bool IsTwin(const QString &family) { return family.startsWith(QLatin1String("Vorlane ")); }

    // A font file given to one office only.
    struct File {
        QString name; // file name, unique within a deck
        QByteArray data;
    };
    // The fonts a deck carries (embedded in PowerPoint's way) that this machine lacks, decoded to TrueType.
    // Each font that cannot be used (damaged, hostile, not decodable here) is left out and named in notUsed with
    // the reason; nothing else depends on it.
    static QList<File> DeckFonts(const deck::DeckPackage &deck, QStringList *notUsed);

    // The families the deck carries a face of, whether or not it can be used.
    static QSet<QString> CarriedFamilies(const deck::DeckPackage &deck);

    // The fontconfig file for an office: the machine's configuration, the folder of its deck's fonts, and the
    // stand-ins for the fonts nobody has.
    static QByteArray FontconfigFile(const QString &fontDir, const QString &cacheDir);

    // Whether fontconfig knows the family by this very name (not a substitute for it).
    static bool Installed(const QString &family);
    // The installed family the machine's own fontconfig rules put in place of one it lacks (Carlito for Calibri,
    // Liberation Serif for Times New Roman: its metric twins), or empty where only its default fallback would
    // draw it.
    static QString AliasFor(const QString &family);
};

} // namespace fonts
