#pragma once

#include <QPointF>
#include <QRectF>
#include <QRgb>

#include <optional>
#include <vector>

// What a page has drawn so far, as far as a translucent glyph needs it: the solid colours of the fills in the
// order they were drawn, and where pictures lie. Plain GDI cannot blend text, so a translucent glyph's colour
// is blended beforehand with the colour under it; over a picture there is no one colour to blend with.
class PdfBackdrop {
public:
    void Clear() { m_layers.clear(); }
    // A fill of color at opacity whose bounds are these (in page points); a translucent one is blended with the
    // colour under its middle.
    void Fill(const QRectF &bounds, QRgb color, double opacity);
    void Picture(const QRectF &bounds);
    // The colour under the point: that of the last fill holding it (white where none does), nothing where a
    // picture lies over it.
    std::optional<QRgb> Under(QPointF at) const;
    static QRgb Blend(QRgb over, double opacity, QRgb under);
    // The rectangle around the points (a path's, a picture's corners).
    static QRectF BoundsOf(const std::vector<QPointF> &points);

private:
    struct Layer {
        QRectF bounds;
        QRgb color = 0;
        bool picture = false;
    };
    std::vector<Layer> m_layers;
};
