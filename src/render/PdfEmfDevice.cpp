#include "render/PdfEmfDevice.h"

#include <Gfx.h>
#include <GfxFont.h>
#include <GfxState.h>
#include <Stream.h>

#include <QImage>
#include <QLineF>

#include <algorithm>
#include <cmath>
#include <type_traits>

namespace {
using Path = EmfRecordWriter::Path;

// Rewinds a stream; false when it cannot be read (newer poppler says so, older says nothing).
template <typename S> bool rewind(S &stream) {
    if constexpr (std::is_void_v<decltype(stream.reset())>) {
        stream.reset();
        return true;
    } else {
        return stream.reset();
    }
}

// Pictures larger than this many pixels are not decoded (a hostile PDF can name any size).
constexpr qint64 kMaxPixels = qint64(1) << 27;

Path devicePath(GfxState *state) {
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
std::vector<std::vector<QPointF>> flattened(const Path &path) {
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
Path dashed(const Path &path, const std::vector<double> &pattern, double phase) {
    double total = 0;
    for (double d : pattern)
        total += d;
    if (total <= 0)
        return path;
    const std::vector<std::vector<QPointF>> lines = flattened(path);
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

// Hebrew, Arabic, Syriac, Thaana, N'Ko and their presentation forms.
bool rightToLeft(Unicode c) {
    return (c >= 0x0590 && c <= 0x08FF) || (c >= 0xFB1D && c <= 0xFDFF) || (c >= 0xFE70 && c <= 0xFEFF);
}

QRgb rgbOf(const GfxRGB &c) {
    return qRgb(colToByte(c.r), colToByte(c.g), colToByte(c.b));
}

// The rows of an image stream as colours (alpha 255), or null when it cannot be decoded.
QImage decodeColors(Stream *str, int width, int height, GfxImageColorMap *colorMap, const int *maskColors) {
    if (width <= 0 || height <= 0 || qint64(width) * height > kMaxPixels || !colorMap || !colorMap->isOk())
        return QImage();
    QImage image(width, height, maskColors ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (image.isNull())
        return image;
    const int comps = colorMap->getNumPixelComps();
    ImageStream stream(str, width, comps, colorMap->getBits());
    if (!rewind(stream))
        return QImage();
    std::vector<unsigned int> rgb(std::size_t(width), 0);
    for (int y = 0; y < height; ++y) {
        unsigned char *line = stream.getLine();
        auto *out = reinterpret_cast<QRgb *>(image.scanLine(y));
        if (!line) {
            std::fill(out, out + width, qRgb(0, 0, 0));
            continue;
        }
        colorMap->getRGBLine(line, rgb.data(), width);
        for (int x = 0; x < width; ++x) {
            QRgb c = 0xff000000u | rgb[std::size_t(x)];
            if (maskColors) {
                bool keyed = true;
                for (int k = 0; k < comps && keyed; ++k) {
                    const int v = line[x * comps + k];
                    keyed = v >= maskColors[2 * k] && v <= maskColors[2 * k + 1];
                }
                if (keyed)
                    c = 0;
            }
            out[x] = c;
        }
    }
    stream.close();
    return image;
}

// The JPEG bytes of a picture the PDF holds as a plain RGB or grey JPEG, or nothing.
QByteArray jpegOf(Stream *str, GfxImageColorMap *colorMap) {
    if (!str || str->getKind() != strDCT || !colorMap || colorMap->getBits() != 8)
        return QByteArray();
    const int comps = colorMap->getNumPixelComps();
    const GfxColorSpaceMode mode = colorMap->getColorSpace()->getMode();
    const bool plain = (comps == 3 && (mode == csDeviceRGB || mode == csICCBased || mode == csCalRGB)) ||
                       (comps == 1 && (mode == csDeviceGray || mode == csICCBased || mode == csCalGray));
    for (int k = 0; plain && k < comps; ++k)
        if (colorMap->getDecodeLow(k) != 0 || colorMap->getDecodeHigh(k) != 1)
            return QByteArray();
    // What the JPEG decoder reads is the JPEG file itself.
    Stream *raw = plain ? str->getNextStream() : nullptr;
    if (!raw)
        return QByteArray();
    QByteArray out;
    if (!rewind(*raw))
        return QByteArray();
    char buffer[65536];
    for (int n; (n = raw->doGetChars(int(sizeof buffer), reinterpret_cast<unsigned char *>(buffer))) > 0;) {
        out.append(buffer, n);
        if (out.size() > (qsizetype(1) << 28))
            return QByteArray();
    }
    raw->close();
    return out.startsWith("\xff\xd8") ? out : QByteArray();
}

// The grey samples of a mask stream (0 transparent .. 255 opaque), width x height.
std::vector<unsigned char> decodeMask(Stream *str, int width, int height, GfxImageColorMap *grey, bool stencil,
                                      bool invert) {
    std::vector<unsigned char> out;
    if (width <= 0 || height <= 0 || qint64(width) * height > kMaxPixels)
        return out;
    out.assign(std::size_t(width) * std::size_t(height), 0);
    ImageStream stream(str, width, 1, stencil ? 1 : grey->getBits());
    if (!rewind(stream))
        return {};
    for (int y = 0; y < height; ++y) {
        unsigned char *line = stream.getLine();
        if (!line)
            continue;
        unsigned char *row = out.data() + std::size_t(y) * std::size_t(width);
        if (stencil) {
            // An image mask paints where its sample is 0, or 1 when its decoding is inverted.
            for (int x = 0; x < width; ++x)
                row[x] = (line[x] != 0) == invert ? 255 : 0;
        } else {
            grey->getGrayLine(line, row, width);
        }
    }
    stream.close();
    return out;
}

// image with alpha from mask (of its own size), scaled to the image's pixels.
QImage withAlpha(const QImage &image, const std::vector<unsigned char> &mask, int maskWidth, int maskHeight) {
    if (image.isNull() || mask.empty())
        return image;
    QImage out = image.convertToFormat(QImage::Format_ARGB32);
    const int w = out.width(), h = out.height();
    for (int y = 0; y < h; ++y) {
        auto *row = reinterpret_cast<QRgb *>(out.scanLine(y));
        const int my = std::min(maskHeight - 1, int(qint64(y) * maskHeight / h));
        for (int x = 0; x < w; ++x) {
            const int mx = std::min(maskWidth - 1, int(qint64(x) * maskWidth / w));
            const int a = mask[std::size_t(my) * std::size_t(maskWidth) + std::size_t(mx)] * qAlpha(row[x]) / 255;
            row[x] = (row[x] & 0x00ffffffu) | (QRgb(a) << 24);
        }
    }
    return out;
}
} // namespace

PdfEmfDevice::~PdfEmfDevice() = default;

QImage PdfEmfDevice::limited(const QImage &image, double widthPoints, double heightPoints) const {
    if (m_pictureResolution <= 0)
        return image;
    // A tenth above the limit is left as it is, as the office leaves it.
    const auto most = [this](double points) {
        return std::max(1, int(std::ceil(points / 72 * m_pictureResolution - 0.01)));
    };
    const int w = most(widthPoints), h = most(heightPoints);
    if (image.width() <= w * 11 / 10 && image.height() <= h * 11 / 10)
        return image;
    return image.scaled(std::min(w, image.width()), std::min(h, image.height()), Qt::IgnoreAspectRatio,
                        Qt::SmoothTransformation);
}

void PdfEmfDevice::startPage(int, GfxState *state, XRef *) {
    m_writer = std::make_unique<EmfRecordWriter>(state ? state->getPageWidth() : 1, state ? state->getPageHeight() : 1,
                                                 m_plus);
    m_saved.clear();
    m_state = State();
    m_islands.clear();
    m_ops = 0;
    m_type3 = 0;
    m_islandOpen = false;
    m_maskDepth = -1;
    m_run = TextRun();
}

void PdfEmfDevice::endPage() {
    flushText();
    if (m_islandOpen)
        m_islands.back().last = m_ops;
    m_islandOpen = false;
    m_faces.clear();
}

void PdfEmfDevice::saveState(GfxState *state) {
    m_saved.push_back(m_state);
    m_state.outerOpacity = state->getFillOpacity();
}

void PdfEmfDevice::restoreState(GfxState *) {
    flushText(); // under the clip it was drawn in
    if (m_saved.empty())
        return;
    m_state = m_saved.back();
    m_saved.pop_back();
    // A soft mask ends with the state it was set in.
    if (m_maskDepth >= 0 && int(m_saved.size()) < m_maskDepth)
        m_maskDepth = -1;
}

bool PdfEmfDevice::operation(GfxState *state, bool forceIsland) {
    if (m_type3 > 0)
        return m_islandOpen;
    ++m_ops;
    const bool island = forceIsland || m_maskDepth >= 0 || (state && state->getBlendMode() != gfxBlendNormal);
    if (island && !m_islandOpen) {
        flushText();
        Island i;
        i.first = m_ops;
        i.placeholder = m_writer->Placeholder();
        m_islands.push_back(i);
        m_islandOpen = true;
    } else if (!island && m_islandOpen) {
        m_islands.back().last = m_ops - 1;
        m_islandOpen = false;
    }
    if (m_islandOpen)
        m_islands.back().last = m_ops;
    return island;
}

double PdfEmfDevice::opacity(GfxState *state, bool fillSide) const {
    return (fillSide ? state->getFillOpacity() : state->getStrokeOpacity()) * m_state.groupAlpha;
}

void PdfEmfDevice::applyClip() {
    m_writer->SetClip(m_state.clip, m_state.clipId);
}

void PdfEmfDevice::fillPath(GfxState *state, bool evenOdd) {
    if (operation(state))
        return;
    flushText();
    GfxRGB rgb;
    state->getFillRGB(&rgb);
    applyClip();
    m_writer->Fill(devicePath(state), rgbOf(rgb), opacity(state, true), evenOdd);
}

void PdfEmfDevice::fill(GfxState *state) {
    fillPath(state, false);
}

void PdfEmfDevice::eoFill(GfxState *state) {
    fillPath(state, true);
}

void PdfEmfDevice::stroke(GfxState *state) {
    if (operation(state))
        return;
    flushText();
    GfxRGB rgb;
    state->getStrokeRGB(&rgb);
    EmfRecordWriter::Pen pen;
    pen.color = rgbOf(rgb);
    pen.width = state->getLineWidth() > 0 ? state->getTransformedLineWidth() : 0;
    pen.cap = state->getLineCap();
    pen.join = state->getLineJoin();
    pen.miterLimit = state->getMiterLimit();
    double start = 0;
    const std::vector<double> &dashes = state->getLineDash(&start);
    applyClip();
    Path path = devicePath(state);
    if (std::any_of(dashes.begin(), dashes.end(), [](double d) { return d > 0; })) {
        // Dash lengths scale as the line's width does; the dashes are drawn as segments of their own.
        const double scale = state->getLineWidth() > 0 ? pen.width / state->getLineWidth() : state->transformWidth(1.0);
        std::vector<double> pattern;
        for (double d : dashes)
            pattern.push_back(std::max(0.0, d * scale));
        if (pattern.size() % 2)
            pattern.insert(pattern.end(), pattern.begin(), pattern.end());
        path = dashed(path, pattern, start * scale);
    }
    m_writer->Stroke(path, pen, opacity(state, false));
}

bool PdfEmfDevice::DrawTiles(Gfx *gfx, GfxTilingPattern *tPat, const double *mat, int x0, int y0, int x1, int y1,
                             double xStep, double yStep, int *uncounted) {
    // Beyond this many tiles the pattern is a picture: a hairline texture would be tens of thousands of records.
    constexpr qint64 kMostTiles = 4096;
    if (!gfx || !tPat || x1 <= x0 || y1 <= y0 || qint64(x1 - x0) * (y1 - y0) > kMostTiles)
        return false;
    ++*uncounted;
    double m[6];
    std::copy(mat, mat + 6, m);
    for (int yi = y0; yi < y1; ++yi) {
        for (int xi = x0; xi < x1; ++xi) {
            const double x = xi * xStep, y = yi * yStep;
            m[4] = x * mat[0] + y * mat[2] + mat[4];
            m[5] = x * mat[1] + y * mat[3] + mat[5];
            gfx->drawForm(tPat->getContentStream(), tPat->getResDict(), m, tPat->getBBox());
        }
    }
    --*uncounted;
    return true;
}

bool PdfEmfDevice::tilingPatternFill(GfxState *state, Gfx *gfx, Catalog *, GfxTilingPattern *tPat, const double *mat,
                                     int x0, int y0, int x1, int y1, double xStep, double yStep) {
    const bool many = qint64(x1 - x0) * (y1 - y0) > 4096;
    if (operation(state, many))
        return true; // the picture of the island holds it
    flushText();
    DrawTiles(gfx, tPat, mat, x0, y0, x1, y1, xStep, yStep, &m_type3);
    return true;
}

void PdfEmfDevice::addClip(GfxState *state, bool evenOdd) {
    flushText();
    EmfRecordWriter::ClipPath c;
    c.path = devicePath(state);
    c.evenOdd = evenOdd;
    m_state.clip.push_back(std::move(c));
    m_state.clipId = ++m_nextClipId;
}

void PdfEmfDevice::clip(GfxState *state) {
    addClip(state, false);
}

void PdfEmfDevice::eoClip(GfxState *state) {
    addClip(state, true);
}

const PdfFontNames::Face &PdfEmfDevice::faceOf(GfxState *state) {
    const std::shared_ptr<GfxFont> &font = state->getFont();
    auto it = m_faces.find(font.get());
    if (it == m_faces.end()) {
        const std::optional<std::string> &name = font->getName();
        const QString pdfName = name ? QString::fromStdString(*name) : QString();
        PdfFontNames::Face face =
            PdfFontNames::For(pdfName, font->isBold() || font->getWeight() >= GfxFont::W600, font->isItalic());
        if (face.family.isEmpty())
            face.family = QStringLiteral("Arial");
        it = m_faces.emplace(font.get(), std::make_pair(font, face)).first;
    }
    return it->second.second;
}

void PdfEmfDevice::drawChar(GfxState *state, double x, double y, double dx, double dy, double originX, double originY,
                            CharCode, int, const Unicode *u, int uLen) {
    const int render = state->getRender() & 3;
    if (render == 3) { // invisible text: nothing to draw
        operation(state);
        return;
    }
    // A private-use character (a symbol font's own code, as the office maps Symbol and Wingdings) means nothing
    // in another font: such a glyph is drawn as the PDF has it.
    // Right-to-left glyphs come in the order they are drawn, shaped; as text a reader would order and shape
    // them again, so they are drawn as the PDF has them too.
    const bool meaningful =
        state->getFont() && uLen > 0 && u && u[0] != 0 && !(u[0] >= 0xE000 && u[0] <= 0xF8FF) && !rightToLeft(u[0]);
    // Filled glyphs are text; outlined ones and glyphs without a character are drawn as the PDF has them.
    double m11, m12, m21, m22;
    state->getFontTransMat(&m11, &m12, &m21, &m22);
    const double along = std::hypot(m11, m12), up = std::hypot(m21, m22);
    const bool upright =
        along > 1e-6 && up > 1e-6 && m11 * m22 - m12 * m21 < 0 && std::abs(m11 * m21 + m12 * m22) < 0.05 * along * up;
    if (operation(state, !meaningful || render != 0 || !upright))
        return;
    double px, py;
    state->transform(x - originX, y - originY, &px, &py);
    double ddx, ddy;
    state->transformDelta(dx, dy, &ddx, &ddy);
    const double ux = m11 / along, uy = m12 / along;
    GfxRGB rgb;
    state->getFillRGB(&rgb);
    const PdfFontNames::Face &face = faceOf(state);
    EmfRecordWriter::Font font;
    font.face = face.family;
    font.height = up;
    font.escapement = std::atan2(-uy, ux) * 180 / M_PI;
    font.bold = face.bold;
    font.italic = face.italic;
    const QRgb color = rgbOf(rgb);
    const QPointF at(px, py);
    if (!m_run.Empty()) {
        const double ex = px - m_run.last.x(), ey = py - m_run.last.y();
        const double forward = ex * m_run.ux + ey * m_run.uy, aside = -ex * m_run.uy + ey * m_run.ux;
        const bool same = m_run.font == font && m_run.color == color && m_run.clipId == m_state.clipId &&
                          std::abs(aside) < 0.02 * up && forward > -0.01 * up;
        if (same) {
            // The last character's units end where this one starts.
            double before = 0;
            for (std::size_t i = m_run.lastStart; i + 1 < m_run.advances.size(); ++i)
                before += m_run.advances[i];
            m_run.advances.back() = forward - before;
        } else {
            flushText();
        }
    }
    if (m_run.Empty()) {
        m_run.font = font;
        m_run.color = color;
        m_run.origin = at;
        m_run.ux = ux, m_run.uy = uy;
        m_run.clipId = m_state.clipId;
    }
    m_run.last = at;
    QString chars;
    for (int i = 0; i < uLen; ++i) {
        const char32_t c = u[i];
        if (c < 0x20 || (c >= 0xD800 && c < 0xE000) || c > 0x10FFFF)
            chars += QChar(u' ');
        else
            chars += QString::fromUcs4(&c, 1);
    }
    // A ligature's advance is shared by its characters, so each stands near its place.
    const double advance = (ddx * ux + ddy * uy) / double(std::max<qsizetype>(1, chars.size()));
    m_run.lastStart = m_run.advances.size();
    for (qsizetype i = 0; i < chars.size(); ++i)
        m_run.advances.push_back(advance);
    m_run.text += chars;
}

void PdfEmfDevice::flushText() {
    if (m_run.Empty())
        return;
    m_writer->SetClip(m_state.clip, m_state.clipId);
    m_writer->Text(m_run.font, m_run.color, m_run.origin, m_run.text, m_run.advances);
    m_run = TextRun();
}

void PdfEmfDevice::endTextObject(GfxState *) {
    flushText();
}

bool PdfEmfDevice::beginType3Char(GfxState *state, double, double, double, double, CharCode, const Unicode *, int) {
    // An island draws the glyph with the rest of it; else the glyph's own drawing comes here, as paths.
    if (operation(state))
        return true;
    flushText();
    ++m_type3;
    return false;
}

void PdfEmfDevice::endType3Char(GfxState *) {
    if (m_type3 > 0)
        --m_type3;
}

void PdfEmfDevice::drawPicture(GfxState *state, const QImage &image, const QByteArray &jpeg, const Object *ref) {
    if (image.isNull())
        return;
    flushText();
    double x0, y0, x1, y1, x2, y2;
    state->transform(0, 1, &x0, &y0); // the picture's first row is at the top of its unit square
    state->transform(1, 1, &x1, &y1);
    state->transform(0, 0, &x2, &y2);
    applyClip();
    const QImage kept = limited(image, std::hypot(x1 - x0, y1 - y0), std::hypot(x2 - x0, y2 - y0));
    // The PDF's own JPEG stands for the picture while it keeps its pixels.
    // The same object at the same size is the same picture: its number, generation and size, where they fit.
    std::uint64_t key = 0;
    if (ref && ref->isRef() && ref->getRefNum() >= 0 && ref->getRefNum() < (1 << 24) && ref->getRefGen() >= 0 &&
        ref->getRefGen() < 256 && kept.width() < 65536 && kept.height() < 65536)
        key = std::uint64_t(ref->getRefNum()) << 40 | std::uint64_t(ref->getRefGen()) << 32 |
              std::uint64_t(kept.width()) << 16 | std::uint64_t(kept.height());
    m_writer->Picture(kept, QPointF(x0, y0), QPointF(x1, y1), QPointF(x2, y2), opacity(state, true),
                      kept.size() == image.size() ? jpeg : QByteArray(), key);
}

void PdfEmfDevice::drawImageMask(GfxState *state, Object *, Stream *str, int width, int height, bool invert, bool,
                                 bool) {
    if (operation(state))
        return;
    const std::vector<unsigned char> mask = decodeMask(str, width, height, nullptr, true, invert);
    if (mask.empty())
        return;
    GfxRGB rgb;
    state->getFillRGB(&rgb);
    QImage solid(width, height, QImage::Format_RGB32);
    solid.fill(rgbOf(rgb));
    drawPicture(state, withAlpha(solid, mask, width, height));
}

void PdfEmfDevice::drawImage(GfxState *state, Object *ref, Stream *str, int width, int height,
                             GfxImageColorMap *colorMap, bool, const int *maskColors, bool) {
    if (operation(state))
        return;
    const QByteArray jpeg = m_plus && !maskColors ? jpegOf(str, colorMap) : QByteArray();
    drawPicture(state, decodeColors(str, width, height, colorMap, maskColors), jpeg, ref);
}

void PdfEmfDevice::drawMaskedImage(GfxState *state, Object *ref, Stream *str, int width, int height,
                                   GfxImageColorMap *colorMap, bool, Stream *maskStr, int maskWidth, int maskHeight,
                                   bool maskInvert, bool) {
    if (operation(state))
        return;
    const QImage colors = decodeColors(str, width, height, colorMap, nullptr);
    const std::vector<unsigned char> mask = decodeMask(maskStr, maskWidth, maskHeight, nullptr, true, maskInvert);
    drawPicture(state, withAlpha(colors, mask, maskWidth, maskHeight), QByteArray(), ref);
}

void PdfEmfDevice::drawSoftMaskedImage(GfxState *state, Object *ref, Stream *str, int width, int height,
                                       GfxImageColorMap *colorMap, bool, Stream *maskStr, int maskWidth, int maskHeight,
                                       GfxImageColorMap *maskColorMap, bool) {
    if (operation(state))
        return;
    const QImage colors = decodeColors(str, width, height, colorMap, nullptr);
    if (!maskColorMap || !maskColorMap->isOk()) {
        drawPicture(state, colors, QByteArray(), ref);
        return;
    }
    const std::vector<unsigned char> mask = decodeMask(maskStr, maskWidth, maskHeight, maskColorMap, false, false);
    drawPicture(state, withAlpha(colors, mask, maskWidth, maskHeight), QByteArray(), ref);
}

void PdfEmfDevice::beginTransparencyGroup(GfxState *state, const double *, GfxColorSpace *, bool, bool,
                                          bool forSoftMask) {
    if (forSoftMask && m_maskDepth < 0 && m_type3 == 0)
        m_maskDepth = std::max(0, int(m_saved.size()) - 1); // the state the mask will be set in
    if (operation(state))
        return;
    // The group's opacity is that of the state it was drawn from; it applies to everything in it.
    m_state.groupAlpha *= m_state.outerOpacity;
}

void PdfEmfDevice::endTransparencyGroup(GfxState *state) {
    operation(state);
}

void PdfEmfDevice::paintTransparencyGroup(GfxState *state, const double *) {
    operation(state);
}

void PdfEmfDevice::setSoftMask(GfxState *state, const double *, bool, Function *, GfxColor *) {
    operation(state);
}

void PdfEmfDevice::clearSoftMask(GfxState *state) {
    operation(state);
}
