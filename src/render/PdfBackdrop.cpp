#include "render/PdfBackdrop.h"

#include <algorithm>
#include <cmath>

namespace {
// A page of many small fills (a gradient as stripes, a chart's marks) keeps this many; the oldest go first, as
// the newest lie on top.
constexpr std::size_t kMostLayers = 20000;
} // namespace

void PdfBackdrop::Fill(const QRectF &bounds, QRgb color, double opacity) {
    if (bounds.isEmpty() || opacity <= 0.002)
        return;
    if (opacity < 0.998) {
        const std::optional<QRgb> under = Under(bounds.center());
        if (!under) {
            Picture(bounds);
            return;
        }
        color = Blend(color, opacity, *under);
    }
    if (m_layers.size() >= kMostLayers)
        m_layers.erase(m_layers.begin(), m_layers.begin() + kMostLayers / 4);
    m_layers.push_back({bounds, color, false});
}

void PdfBackdrop::Picture(const QRectF &bounds) {
    if (!bounds.isEmpty())
        m_layers.push_back({bounds, 0, true});
}

std::optional<QRgb> PdfBackdrop::Under(QPointF at) const {
    for (auto it = m_layers.rbegin(); it != m_layers.rend(); ++it) {
        if (it->bounds.contains(at))
            return it->picture ? std::nullopt : std::optional<QRgb>(it->color);
    }
    return qRgb(255, 255, 255);
}

QRgb PdfBackdrop::Blend(QRgb over, double opacity, QRgb under) {
    const double a = std::clamp(opacity, 0.0, 1.0);
    const auto mix = [a](int o, int u) { return int(std::lround(o * a + u * (1 - a))); };
    return qRgb(mix(qRed(over), qRed(under)), mix(qGreen(over), qGreen(under)), mix(qBlue(over), qBlue(under)));
}

QRectF PdfBackdrop::BoundsOf(const std::vector<QPointF> &points) {
    if (points.empty())
        return QRectF();
    double l = points.front().x(), r = l, t = points.front().y(), b = t;
    for (const QPointF &p : points) {
        l = std::min(l, p.x()), r = std::max(r, p.x());
        t = std::min(t, p.y()), b = std::max(b, p.y());
    }
    return QRectF(QPointF(l, t), QPointF(r, b));
}
