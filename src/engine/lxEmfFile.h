#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

// Enhanced metafiles as the converter writes them: a structure check that every slide passes before it counts,
// and the composition of several page drawings of the same size into one file, each drawn over the ones before.
class TlxEmfFile {
public:
    // Empty when data is a complete EMF: a header record (type 1, " EMF" signature) whose byte count is the data's
    // size, records of sound sizes that chain exactly to the end, and an end-of-file record last. Otherwise a short
    // reason for the user.
    static QString Check(QByteArrayView data);
    // The same for a file; also says when it cannot be read.
    static QString CheckFile(const QString &path);

    // One EMF of all parts in order, the later ones drawn over the earlier ones. Every part must pass Check. The
    // header is the last part's (its frame and device), with bounds, byte, record and object counts made right;
    // each part's object handles are moved to a range of their own and its drawing state is saved and restored
    // around it, so no part changes how another is drawn. Empty, with error set, when a part is not an EMF.
    static QByteArray Compose(const QList<QByteArrayView> &parts, QString *error);
};
