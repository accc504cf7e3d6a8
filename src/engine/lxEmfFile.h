#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QImage>
#include <QList>
#include <QSize>
#include <QString>

#include <functional>

// Enhanced metafiles as the converter writes them: a structure check that every slide passes before it counts,
// and the composition of several page drawings of the same size into one file, each drawn over the ones before.
class TlxEmfFile {
public:
    // Empty when data is a complete EMF: a header record (type 1, " EMF" signature) whose byte count is the data's
    // size, records of sound sizes that chain exactly to the end, and an end-of-file record last. Otherwise a short
    // reason for the user.
    static QString Check(QByteArrayView data);
    // The same for a file; also says when it cannot be read. A compressed EMF (.emz) is checked as the EMF in it.
    static QString CheckFile(const QString &path);

    // The gzip stream of data, as compressed EMF files (.emz) hold it; empty when zlib fails.
    static QByteArray Gzip(QByteArrayView data);
    // The data inside a gzip stream, at most maxBytes of it; empty with error set when it is not a whole stream.
    static QByteArray Gunzip(QByteArrayView data, QString *error, qint64 maxBytes = qint64(1) << 30);
    static bool IsGzip(QByteArrayView data) {
        return data.size() >= 2 && quint8(data[0]) == 0x1f && quint8(data[1]) == 0x8b;
    }

    // One EMF of all parts in order, the later ones drawn over the earlier ones. Every part must pass Check. The
    // header is the last part's (its frame and device), with bounds, byte, record and object counts made right;
    // each part's object handles are moved to a range of their own and its drawing state is saved and restored
    // around it, so no part changes how another is drawn. Empty, with error set, when a part is not an EMF.
    static QByteArray Compose(const QList<QByteArrayView> &parts, QString *error);

    // A drawing of part of a picture of the whole page, in its place: the picture (any size, covering the page)
    // is cut to area and drawn there as a plain bitmap (EMR_STRETCHDIBITS, 24 bits), which every EMF reader draws
    // alike. page and area are in hundredths of a millimetre, the office's own unit, which the drawing uses (at
    // the office's reference resolution of 96 pixels an inch). Empty when area does not meet the page.
    static QByteArray PictureLayer(const QImage &picture, QRect area, QSize page);
    // A picture for ReplaceMaskedPictures: width x height pixels of four bytes each, blue, green, red and alpha
    // (not premultiplied), the top row first.
    struct Picture {
        int width = 0;
        int height = 0;
        QByteArray bgra;
    };
    // Offices from 24.2 on write a picture that carries a transparency mask as two bitmaps at the same place, the
    // mask (SRCPAINT) and then the picture (SRCAND), and lose the picture's pixels on the way: it comes out white.
    // Such a pair: its bitmap's size, and a digest of its mask, which tells the same picture again.
    struct MaskedPicture {
        QSize size;
        QByteArray mask;
    };
    // The pairs of data, in order; none when data does not pass Check.
    static QList<MaskedPicture> MaskedPictures(QByteArrayView data);
    // Replaces each pair for which pictureFor gives a picture (of the pair's size) by that picture, as one plain
    // bitmap when it is opaque and as one alpha-blended bitmap otherwise; the header's counts follow. data must
    // pass Check; it is returned unchanged when nothing was replaced. replaced (when given) gets the pairs replaced.
    static QByteArray ReplaceMaskedPictures(QByteArrayView data,
                                            const std::function<const Picture *(const MaskedPicture &)> &pictureFor,
                                            int *replaced = nullptr);
    // The picture of pictures that has size, or null when none has it or different ones share it (either could
    // be meant).
    static const Picture *OnlyPictureOfSize(const QList<Picture> &pictures, QSize size);
};
