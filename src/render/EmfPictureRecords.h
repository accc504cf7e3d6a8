#pragma once

#include "render/EmfRecordWriter.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QPointF>

#include <vector>

// The records a picture becomes in an EMF: plain bitmap records every GDI reader draws (a stretched bitmap, or an
// alpha-blended one where the picture is translucent, the page's world turned for a rotated or sheared one), and
// the EMF+ records that hold it compressed at every pixel for readers of EMF+.
class EmfPictureRecords {
public:
    // Where a picture's top left, top right and bottom left corners land on the page, in points.
    struct Placement {
        QPointF topLeft, topRight, bottomLeft;
    };

    // Plain records of image at placement (count: how many records they are); nothing for a picture not seen.
    static QByteArray Plain(const QImage &image, Placement at, double opacity, int *count);
    // EMF+ records (each still to be put in a comment) of a picture whose PNG or JPEG bytes are compressed, cut to
    // clip; nothing without compressed bytes.
    static QList<QByteArray> Plus(const QImage &image, const QByteArray &compressed, Placement at,
                                  const std::vector<EmfRecordWriter::ClipPath> &clip);
    // The clip in effect, for EMF+ readers, which keep a clip of their own: reset, then each path intersected.
    static QList<QByteArray> PlusClip(const std::vector<EmfRecordWriter::ClipPath> &clip);
    // The picture as PNG, for the EMF+ records of a picture the PDF did not hold as JPEG.
    static QByteArray Png(const QImage &image);
    // The picture no larger than GDI readers need at the reference device's resolution at placement.
    static QImage ForGdi(const QImage &image, Placement at);

private:
    // A plain bitmap record's frame: where the picture lands in logical units, and whether the world is turned.
    struct Frame {
        std::int32_t x = 0, y = 0, cx = 1, cy = 1;
        bool turned = false;
    };
    static bool axisAligned(const Placement &at);
    static QImage unmirrored(const QImage &image, Placement *at);
    static QByteArray turnWorld(const QImage &image, const Placement &at);
    static QByteArray bitmapRecord(const QImage &image, const Frame &frame, double opacity);
    static void putPixels(QByteArray &rec, const QImage &image, bool opaque, std::uint32_t stride);
    static QByteArray plusPath(const EmfRecordWriter::Path &path);
    static QList<QByteArray> plusImageObject(const QImage &image, const QByteArray &compressed);
};
