#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QPointF>
#include <QRgb>
#include <QString>

#include <cstdint>
#include <map>
#include <mutex>
#include <vector>

// Writes one page as an enhanced metafile, record by record, from drawing in page points (y downwards). Records
// are in hundredths of a millimetre, the unit office suites write and read EMF in; the header names a reference
// device of 96 pixels an inch. Drawing is plain GDI records, which every EMF reader draws: what GDI cannot say
// directly (a translucent fill or stroke, a picture with an alpha channel) is an alpha-blended bitmap, cut to the
// shape by a clip path where it is a fill or a stroke.
//
// With EMF+ (a dual file), pictures are also written as EMF+ records that hold them compressed, PNG or the PDF's
// own JPEG, at every pixel: Word, PowerPoint and the office draw those, and the plain bitmap GDI-only readers draw
// instead is kept at the reference device's resolution. Everything else is plain records in EMF+ "GetDC" runs,
// which EMF+ readers hand to GDI as they are.
class EmfRecordWriter {
public:
    // A path in page points: Move and Line take one point, Curve three (two control points and the end).
    struct Path {
        enum Op : std::uint8_t { Move, Line, Curve, Close };
        std::vector<Op> ops;
        std::vector<QPointF> points;
        bool Empty() const { return ops.empty(); }
    };
    struct Pen {
        QRgb color = 0;
        double width = 0;       // points; 0 draws the thinnest line the device can
        int cap = 0;            // 0 butt, 1 round, 2 square
        int join = 0;           // 0 miter, 1 round, 2 bevel
        double miterLimit = 10; // always solid: dashes come as segments of their own
    };
    struct Font {
        QString face;
        double height = 0;     // the em, points
        double escapement = 0; // the baseline's angle, degrees, anticlockwise as seen
        bool bold = false;
        bool italic = false;
        bool operator==(const Font &) const = default;
    };
    // A clip: the intersection of these paths, each with its own fill rule.
    struct ClipPath {
        Path path;
        bool evenOdd = false;
    };

    EmfRecordWriter(double widthPoints, double heightPoints, bool plus = false);

    // Sets the clip every following drawing is cut to (none: the whole page). Only a clip that differs from the
    // one in effect is written; id names a clip the caller built once.
    void SetClip(const std::vector<ClipPath> &clip, std::uint64_t id);
    void Fill(const Path &path, QRgb color, double opacity, bool evenOdd);
    void Stroke(const Path &path, const Pen &pen, double opacity);
    // Text at origin (baseline, left), each UTF-16 unit followed by its advance along the baseline in points.
    // Right-to-left text is in the order it is read; readers order it again, from origin on the left.
    void Text(const Font &font, QRgb color, QPointF origin, const QString &text, const std::vector<double> &advances,
              bool rightToLeft = false);
    // Text drawn with an alpha: in color at opacity for EMF+ readers, in blended (its colour over what lies
    // under it) for GDI, which has no alpha for text.
    void TranslucentText(const Font &font, QRgb color, double opacity, QRgb blended, QPointF origin,
                         const QString &text, const std::vector<double> &advances);
    // Compressed pictures of one document, shared by its pages: a picture the slides of a master repeat is
    // compressed once. Safe to use from several threads.
    struct PictureCache {
        std::mutex lock;
        std::map<std::uint64_t, QByteArray> compressed;
        qsizetype bytes = 0;
    };

    // A picture (ARGB32 premultiplied or RGB32) whose top left, top right and bottom left corners land at these
    // points of the page. jpeg: the picture as JPEG already, kept as it is in the EMF+ records. key: the same
    // number for the same picture at the same size (0: none), for the cache Finish is given.
    void Picture(const QImage &image, QPointF topLeft, QPointF topRight, QPointF bottomLeft, double opacity,
                 const QByteArray &jpeg = QByteArray(), std::uint64_t key = 0);

    // A place in the record stream to put records into later (FillPlaceholder), for drawing made after the page.
    int Placeholder();
    void FillPlaceholder(int placeholder, const QByteArray &records, int count);
    // The whole file: header, records, end record. The pictures of a dual file are compressed here, so that a
    // caller drawing under a lock can finish without it.
    QByteArray Finish(PictureCache *cache = nullptr);

private:
    struct Point {
        std::int32_t x, y;
    };
    Point logical(QPointF p) const;
    std::int32_t length(double points) const;
    void record(std::uint32_t type, std::initializer_list<std::uint32_t> values);
    // Before plain records of a dual file: they are handed to GDI by EMF+ readers too.
    void plainRun();
    // EMF+ records in comment records, each comment at most one record of a continued object's part.
    void plusRecords(const QList<QByteArray> &records);
    void raw(const QByteArray &r);
    void pathRecords(const Path &path);
    void selectBrush(QRgb color);
    void selectPen(const Pen &pen);
    void selectFont(const Font &font);
    QByteArray fontRecord(std::uint32_t handle, const Font &font) const;
    QByteArray textRecord(QPointF origin, const QString &text, const std::vector<double> &advances,
                          bool rightToLeft = false) const;
    void setFillMode(bool evenOdd);
    void setTextColor(QRgb color);
    // A solid colour blended with opacity into path (widened by the pen selected when widen is more than 0, its
    // bounds grown by widen points), as a clip.
    void blendOverClip(const Path &path, QRgb color, double opacity, double widen = 0);
    void appendPicture(const QImage &image, QPointF topLeft, QPointF topRight, QPointF bottomLeft, double opacity);
    std::uint32_t newObject();
    void deleteObject(std::uint32_t handle);

    double m_width, m_height;          // points
    QByteArray m_body;                 // the records after the header
    int m_records = 0;                 // in m_body
    std::vector<std::uint32_t> m_free; // object handles to reuse
    std::uint32_t m_handles = 1;       // the highest handle + 1 (handle 0 is the file's own)
    std::uint32_t m_brush = 0, m_pen = 0, m_font = 0;
    QRgb m_brushColor = 0;
    Pen m_penNow;
    Font m_fontNow;
    bool m_hasBrush = false, m_hasPen = false, m_hasFont = false;
    int m_fillMode = 0;
    QRgb m_textColor = 0;
    bool m_hasTextColor = false;
    std::uint64_t m_clipId = 0;
    std::vector<ClipPath> m_clip; // in effect
    bool m_plus = false;
    bool m_inPlainRun = false;
    struct Hole {
        qsizetype offset;
        QByteArray records;
        int count = 0;
    };
    // A picture of a dual file, made into records by Finish.
    struct LatePicture {
        int hole;
        QImage image;
        QByteArray jpeg;
        std::uint64_t key;
        QPointF topLeft, topRight, bottomLeft;
        std::vector<ClipPath> clip;
    };
    void makePicture(const LatePicture &picture, PictureCache *cache);
    std::vector<LatePicture> m_late;
    std::vector<Hole> m_holes;
};
