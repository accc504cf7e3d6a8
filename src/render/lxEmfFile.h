#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// Enhanced metafiles as the converter writes them: a structure check that every slide passes before it counts, and
// the gzip form of an .emz file.
class TlxEmfFile {
public:
    // Empty when data is a complete EMF: a header record (type 1, " EMF" signature) whose byte count is the data's
    // size, records of sound sizes that chain exactly to the end, EMF+ records inside comments that chain exactly
    // to the end of their comment, and an end-of-file record last. Otherwise a short reason for the user.
    static QString Check(QByteArrayView data);
    // The same for a file; also says when it cannot be read. A compressed EMF (.emz) is checked as the EMF in it.
    static QString CheckFile(const QString &path);

    // How many parts of the page the EMF (or EMZ) draws as pictures, where its records could not say them (soft
    // masks, blend modes, glyphs without a character); 0 for anything else.
    static int PictureParts(QByteArrayView data);
    // The EMF and EMZ files among files that draw parts of their slide as pictures, each with how many.
    static QList<QPair<QString, int>> FilesWithPictureParts(const QStringList &files);
    // The gzip stream of data, as compressed EMF files (.emz) hold it; empty when zlib fails.
    static QByteArray Gzip(QByteArrayView data);
    // The data inside a gzip stream, at most maxBytes of it; empty with error set when it is not a whole stream.
    static QByteArray Gunzip(QByteArrayView data, QString *error, qint64 maxBytes = qint64(1) << 30);
    static bool IsGzip(QByteArrayView data) {
        return data.size() >= 2 && quint8(data[0]) == 0x1f && quint8(data[1]) == 0x8b;
    }
};
