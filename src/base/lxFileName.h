#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QIODevice>
#include <QString>
#include <QStringView>

class QFile;

// File names as the file system holds them: any bytes but '/' and NUL. Names that are valid UTF-8 become the
// text they spell; every byte that is not part of valid UTF-8 (a Latin-1 "ä" from an old archive, say) becomes
// the lone surrogate U+DC80 + (byte - 0x80), which no valid name decodes to, so Encode gives back the very bytes.
// Qt's own file classes replace such bytes for good, so every path that came from a listing goes through the
// calls here. No instances: every operation is class-level and thread-safe.
class TlxFileName {
public:
    TlxFileName() = delete;

    static QString Decode(QByteArrayView bytes);
    static QByteArray Encode(QStringView path);

    // True when the text holds a byte that is not UTF-8.
    static bool HasRawBytes(QStringView text);
    // The text for people: each such byte written as "\xE4". Only for showing; never for finding the file again.
    static QString Display(const QString &text);
    // The text with each such byte as U+FFFD, one character for one: what text matching sees.
    static QString ForMatching(const QString &text);

    // The path made absolute against the current folder, "." and ".." segments left as they are.
    static QString Absolute(const QString &path);
    // The name's extension with its dot (".emf"), empty when the name has none.
    static QString Extension(const QString &path);
    // "file://" URL of an absolute path, each byte outside the unreserved set percent-encoded.
    static QString FileUrl(const QString &absolutePath);

    // File-system calls on such paths. Links are followed.
    static bool Exists(const QString &path);
    static bool IsDir(const QString &path);
    static bool IsFile(const QString &path);
    static qint64 Size(const QString &path);  // -1 when there is no such file
    static bool MakePath(const QString &dir); // true when the folder exists afterwards
    static bool Remove(const QString &path);
    // With replace an existing file at to gives way; without, the rename fails when there is one.
    static bool Rename(const QString &from, const QString &to, bool replace);
    // Opens the file through its bytes and hands the descriptor to file (which closes it). On failure the
    // system's reason goes to *error.
    static bool Open(QFile &file, const QString &path, QIODevice::OpenMode mode, QString *error = nullptr);
};
