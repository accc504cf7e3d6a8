#include "render/PdfPathGeometry.h"

#include <GfxState.h>

#include <QLineF>

#include <algorithm>
#include <cmath>

using Path = EmfRecordWriter::Path;

Path PdfPathGeometry::FromState(GfxState *state) {
    Path out;
    const GfxPath *path = state->getPath();
    if (!path)
        return out;
    for (int i = 0; i < path->getNumSubpaths(); ++i) {
        const GfxSubpath *sub = path->getSubpath(i);
        const int n = sub->getNumPoints();
        if (n < 2)
            continue;
        auto point = [&](int k) {
            double x, y;
            state->transform(sub->getX(k), sub->getY(k), &x, &y);
            return QPointF(x, y);
        };
        out.ops.push_back(Path::Move);
        out.points.push_back(point(0));
        for (int k = 1; k < n;) {
            if (sub->getCurve(k) && k + 2 < n) {
                out.ops.push_back(Path::Curve);
                out.points.push_back(point(k));
                out.points.push_back(point(k + 1));
                out.points.push_back(point(k + 2));
                k += 3;
            } else {
                out.ops.push_back(Path::Line);
                out.points.push_back(point(k));
                ++k;
            }
        }
        if (sub->isClosed())
            out.ops.push_back(Path::Close);
    }
    return out;
}

// The lines of each subpath of path, curves as short lines.
std::vector<std::vector<QPointF>> PdfPathGeometry::Flattened(const Path &path) {
    std::vector<std::vector<QPointF>> lines;
    std::size_t p = 0;
    for (Path::Op op : path.ops) {
        if (op == Path::Move) {
            lines.push_back({path.points[p++]});
        } else if (op == Path::Line && !lines.empty()) {
            lines.back().push_back(path.points[p++]);
        } else if (op == Path::Curve && !lines.empty()) {
            const QPointF a = lines.back().back(), b = path.points[p], c = path.points[p + 1], d = path.points[p + 2];
            p += 3;
            const int steps =
                std::clamp(int((QLineF(a, b).length() + QLineF(b, c).length() + QLineF(c, d).length()) / 2), 4, 64);
            for (int i = 1; i <= steps; ++i) {
                const double t = double(i) / steps, u = 1 - t;
                lines.back().push_back(u * u * u * a + 3 * u * u * t * b + 3 * u * t * t * c + t * t * t * d);
            }
        } else if (op == Path::Close && !lines.empty() && lines.back().size() > 1) {
            lines.back().push_back(lines.back().front());
        }
    }
    return lines;
}

// The dashes of path as a path of their own, curves flattened: every EMF reader strokes that alike, where GDI's
// user-styled pens are not read by all (Wine's player drops them and draws with the pen before).
Path PdfPathGeometry::Dashed(const Path &path, const std::vector<double> &pattern, double phase) {
    double total = 0;
    for (double d : pattern)
        total += d;
    if (total <= 0)
        return path;
    const std::vector<std::vector<QPointF>> lines = Flattened(path);
    Path out;
    constexpr std::size_t kMostDashes = 20000; // a hostile pattern cannot make the page endless
    for (const std::vector<QPointF> &line : lines) {
        std::size_t k = 0;
        double left = std::fmod(std::max(0.0, phase), total);
        while (left >= pattern[k]) {
            left -= pattern[k];
            k = (k + 1) % pattern.size();
        }
        left = pattern[k] - left; // of the current dash or gap
        for (std::size_t i = 1; i < line.size() && out.ops.size() < kMostDashes; ++i) {
            QPointF from = line[i - 1];
            const QPointF to = line[i];
            double length = QLineF(from, to).length();
            while (length > 1e-9 && out.ops.size() < kMostDashes) {
                const double step = std::min(left, length);
                const QPointF next = from + (to - from) * (step / length);
                if (k % 2 == 0) {
                    if (out.ops.empty() || out.points.back() != from) {
                        out.ops.push_back(Path::Move);
                        out.points.push_back(from);
                    }
                    out.ops.push_back(Path::Line);
                    out.points.push_back(next);
                }
                left -= step;
                length -= step;
                from = next;
                if (left <= 1e-9) {
                    k = (k + 1) % pattern.size();
                    left = pattern[k];
                }
            }
        }
    }
    return out;
}
