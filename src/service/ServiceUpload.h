#pragma once

#include <QFile>
#include <QMap>
#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <memory>
#include <vector>

// What a request to /convert sends, as it streams in: each deck written to a folder of the request's own under a
// number (no name a client sent is a path), the form's fields kept, the body counted against the limit. The
// folder goes when the request ends, however it ends.
class ServiceUpload {
public:
    struct Deck {
        QString name;      // the upload's base name made safe, "-2" after a second of the same name
        QString extension; // ".pptx", lower case
        QString path;      // DIR/in/K.EXT
    };

    explicit ServiceUpload(qint64 maxBytes);
    bool Ready() const { return m_dir.isValid(); }
    QString Dir() const { return m_dir.path(); }

    // A piece of a form field, as a multipart parser hands it over: the value of key (a file's when filename is
    // given) from offset on. False once the request cannot go on (its reason in Error).
    bool Field(const char *key, const char *filename, const char *data, std::uint64_t offset, std::size_t size);
    // Counts body bytes; false once they pass the limit.
    bool Received(std::size_t bytes);
    // After the body: the reason the request is refused (400), or empty.
    QString Finish();

    const std::vector<Deck> &Decks() const { return m_decks; }
    QString FieldValue(const QString &key) const { return m_fields.value(key); }
    bool TooLarge() const { return m_tooLarge; }
    QString Error;

    // The name a deck's files take: the upload's base name without folders, control characters or characters
    // that a file system or a shell would take as syntax, and no longer than 100 characters ("deck" when nothing
    // is left).
    static QString SafeName(const QString &filename);
    static bool IsDeckExtension(const QString &extension);

private:
    bool startFile(const QString &filename);

    const qint64 m_maxBytes;
    QTemporaryDir m_dir;
    std::vector<Deck> m_decks;
    std::unique_ptr<QFile> m_file; // the deck being written
    QMap<QString, QString> m_fields;
    qint64 m_received = 0;
    bool m_tooLarge = false;
};
