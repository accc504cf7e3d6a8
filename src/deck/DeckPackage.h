#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <functional>

namespace deck {

// The parts of an Office Open XML deck (a zip file), read without the office: for what the office cannot be
// asked for before it opens the deck. Reads only what the central directory names, each part bounded in size;
// a damaged or hostile file yields no parts, never more than it says.
class DeckPackage {
public:
    explicit DeckPackage(const QString &path);
    bool IsOpen() const { return m_open; }
    const QString &Path() const { return m_path; }
    bool Has(const QString &part) const { return m_entries.contains(part); }
    // The part's bytes (stored or deflated), or empty when it is missing, damaged or over maxBytes.
    QByteArray Read(const QString &part, qint64 maxBytes = qint64(64) << 20) const;
    // A zip file of the given parts (name, bytes), stored uncompressed; empty when it would need 64-bit records.
    static QByteArray Zip(const QList<QPair<QString, QByteArray>> &parts);
    QStringList Parts() const { return m_entries.keys(); }
    // Where each relationship of the presentation part points (its Id to a part name).
    QHash<QString, QString> PresentationTargets() const;
    // The part a part's relationship of the given type points to ("slideLayout": the slide's layout), by the part's
    // own relationships; empty where it has none.
    QString RelatedPart(const QString &part, const QString &type) const;
    // The slide master a slide is laid out on (through its layout); empty where a relationship is missing.
    QString MasterOf(const QString &slide) const;
    // What the parts unpack to together, as the package's directory says: a deck of a few megabytes that says
    // gigabytes is a zip bomb.
    qint64 UnpackedSize() const;
    // The slides' parts in the presentation's order.
    QStringList SlideParts() const;
    // Whether each slide, in that order, is hidden from the slide show (and so missing from PowerPoint's PDF).
    QList<bool> HiddenSlides() const;
    // Writes the package again at path with each part as edit returns it (given its name and bytes); false when a
    // part cannot be read or the copy cannot be written.
    bool WriteCopy(const QString &path,
                   const std::function<QByteArray(const QString &, const QByteArray &)> &edit) const;

private:
    struct Entry {
        quint16 method = 0;
        quint32 compressed = 0, size = 0, localHeader = 0;
    };
    QString m_path;
    QHash<QString, Entry> m_entries;
    bool m_open = false;
};

} // namespace deck
