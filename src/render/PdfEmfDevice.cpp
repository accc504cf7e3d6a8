#include "render/PdfEmfDevice.h"
#include "render/PdfImageDecoder.h"
#include "render/PdfPathGeometry.h"
#include "render/TextFlow.h"

#include <Gfx.h>
#include <GfxFont.h>
#include <GfxState.h>
#include <Stream.h>

#include <QImage>

#include <algorithm>
#include <cmath>

namespace {
using Path = EmfRecordWriter::Path;

// A glyph's characters as text; what no font can show as a character stands as a space, keeping its advance.
QString charsOf(const Unicode *u, int uLen) {
    QString chars;
    for (int i = 0; i < uLen; ++i) {
        const char32_t c = u[i];
        if (c < 0x20 || (c >= 0xD800 && c < 0xE000) || c > 0x10FFFF)
            chars += QChar(u' ');
        else
            chars += QString::fromUcs4(&c, 1);
    }
    return chars;
}

QRgb rgbOf(const GfxRGB &c) {
    return qRgb(colToByte(c.r), colToByte(c.g), colToByte(c.b));
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
    m_backdrop.Clear();
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
        // An island's picture is already cut to the clips of its operations; under the clip of whatever was drawn
        // before it, it would lose what lies outside that.
        m_writer->SetClip({}, 0);
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
    const EmfRecordWriter::Path path = PdfPathGeometry::FromState(state);
    m_writer->Fill(path, rgbOf(rgb), opacity(state, true), evenOdd);
    m_backdrop.Fill(PdfBackdrop::BoundsOf(path.points), rgbOf(rgb), opacity(state, true));
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
    Path path = PdfPathGeometry::FromState(state);
    if (std::any_of(dashes.begin(), dashes.end(), [](double d) { return d > 0; })) {
        // Dash lengths scale as the line's width does; the dashes are drawn as segments of their own.
        const double scale = state->getLineWidth() > 0 ? pen.width / state->getLineWidth() : state->transformWidth(1.0);
        std::vector<double> pattern;
        for (double d : dashes)
            pattern.push_back(std::max(0.0, d * scale));
        if (pattern.size() % 2)
            pattern.insert(pattern.end(), pattern.begin(), pattern.end());
        path = PdfPathGeometry::Dashed(path, pattern, start * scale);
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
    c.path = PdfPathGeometry::FromState(state);
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
    const bool meaningful = state->getFont() && uLen > 0 && u && u[0] != 0 && !(u[0] >= 0xE000 && u[0] <= 0xF8FF);
    // Filled glyphs are text; outlined ones and glyphs without a character are drawn as the PDF has them.
    double m11, m12, m21, m22;
    state->getFontTransMat(&m11, &m12, &m21, &m22);
    const double along = std::hypot(m11, m12), up = std::hypot(m21, m22);
    const bool upright =
        along > 1e-6 && up > 1e-6 && m11 * m22 - m12 * m21 < 0 && std::abs(m11 * m21 + m12 * m22) < 0.05 * along * up;
    // A translucent glyph over a picture has no one colour to be blended with for GDI, and EMF+ text is not
    // ordered again by its readers: such glyphs are drawn as the PDF has them.
    const QString chars = charsOf(u, uLen);
    const TextFlow::Way way = TextFlow::Of(chars);
    const double alpha = opacity(state, true);
    std::optional<QRgb> under = qRgb(255, 255, 255);
    if (alpha < 0.998) {
        double mx, my;
        state->transform(x + dx / 2, y + dy / 2, &mx, &my);
        under = m_backdrop.Under(QPointF(mx - 0.3 * m21, my - 0.3 * m22)); // a third of the em above the baseline
    }
    const bool pictureOnly =
        way == TextFlow::RightToLeft && (alpha < 0.998 || !TextFlow::ReadersHave(faceOf(state).family));
    if (operation(state, !meaningful || render != 0 || !upright || !under || pictureOnly))
        return;
    Glyph g;
    state->transform(x - originX, y - originY, &g.at.rx(), &g.at.ry());
    double ddx, ddy;
    state->transformDelta(dx, dy, &ddx, &ddy);
    g.ux = m11 / along, g.uy = m12 / along;
    g.up = up;
    g.advance = ddx * g.ux + ddy * g.uy;
    GfxRGB rgb;
    state->getFillRGB(&rgb);
    g.color = rgbOf(rgb);
    g.opacity = alpha < 0.998 ? alpha : 1.0;
    g.blended = PdfBackdrop::Blend(g.color, g.opacity, *under);
    g.font = fontOf(state, up, g);
    g.way = way;
    addGlyph(g, chars);
}

EmfRecordWriter::Font PdfEmfDevice::fontOf(GfxState *state, double height, const Glyph &g) {
    const PdfFontNames::Face &face = faceOf(state);
    EmfRecordWriter::Font font;
    font.face = face.family;
    font.height = height;
    font.escapement = std::atan2(-g.uy, g.ux) * 180 / M_PI;
    font.bold = face.bold;
    font.italic = face.italic;
    return font;
}

bool PdfEmfDevice::continuesRun(const Glyph &g) {
    const double ex = g.at.x() - m_run.last.x(), ey = g.at.y() - m_run.last.y();
    const double forward = ex * m_run.ux + ey * m_run.uy, aside = -ex * m_run.uy + ey * m_run.ux;
    // A run reads one way: a right-to-left letter does not join a run with left-to-right characters, nor the
    // other way round; spaces join either.
    const bool sameWay = g.way == TextFlow::Neutral || m_run.way == TextFlow::Neutral || g.way == m_run.way;
    const bool same = sameWay && m_run.font == g.font && m_run.color == g.color && m_run.opacity == g.opacity &&
                      m_run.blended == g.blended && m_run.clipId == m_state.clipId && std::abs(aside) < 0.02 * g.up;
    if (!same)
        return false;
    if (forward < -0.01 * g.up)
        return continuesBackward(g, forward);
    if (m_run.backward)
        return false;
    // The last character's units end where this one starts.
    double before = 0;
    for (std::size_t i = m_run.lastStart; i + 1 < m_run.advances.size(); ++i)
        before += m_run.advances[i];
    // Right-to-left text is laid out by its reader, without the spacing: a gap the office left between words
    // without drawing a space becomes one.
    const double gap = forward - before - m_run.advances.back();
    if ((m_run.way == TextFlow::RightToLeft || g.way == TextFlow::RightToLeft) && gap > 0.2 * g.up &&
        !m_run.text.endsWith(u' ')) {
        m_run.starts.push_back(m_run.text.size());
        m_run.text += u' ';
        m_run.advances.push_back(gap);
    } else {
        m_run.advances.back() = forward - before;
    }
    return true;
}

// Some writers draw right-to-left text in the order it is read, each glyph left of the one before: such a run is
// in reading order already, and starts at its last glyph.
bool PdfEmfDevice::continuesBackward(const Glyph &g, double forward) {
    const bool readable = g.way != TextFlow::LeftToRight && m_run.way != TextFlow::LeftToRight &&
                          (m_run.backward || m_run.starts.size() == 1);
    if (!readable || std::abs(forward + g.advance) > 0.3 * g.up)
        return false;
    m_run.backward = true;
    m_run.origin = g.at;
    return true;
}

void PdfEmfDevice::addGlyph(const Glyph &g, const QString &chars) {
    if (!m_run.Empty() && !continuesRun(g))
        flushText();
    if (m_run.Empty()) {
        m_run.font = g.font;
        m_run.color = g.color;
        m_run.opacity = g.opacity;
        m_run.blended = g.blended;
        m_run.origin = g.at;
        m_run.ux = g.ux, m_run.uy = g.uy;
        m_run.clipId = m_state.clipId;
    }
    m_run.last = g.at;
    if (g.way != TextFlow::Neutral)
        m_run.way = g.way;
    // A ligature's advance is shared by its characters, so each stands near its place.
    const double advance = g.advance / double(std::max<qsizetype>(1, chars.size()));
    m_run.lastStart = m_run.advances.size();
    for (qsizetype i = 0; i < chars.size(); ++i)
        m_run.advances.push_back(advance);
    m_run.starts.push_back(m_run.text.size());
    m_run.text += chars;
}

void PdfEmfDevice::flushText() {
    if (m_run.Empty())
        return;
    m_writer->SetClip(m_state.clip, m_state.clipId);
    const bool rightToLeft = m_run.way == TextFlow::RightToLeft;
    if (rightToLeft && !m_run.backward)
        TextFlow::ToReadingOrder(&m_run.text, &m_run.advances, m_run.starts);
    if (rightToLeft)
        m_run.text = TextFlow::Unshaped(m_run.text);
    if (m_run.opacity < 1)
        m_writer->TranslucentText(m_run.font, m_run.color, m_run.opacity, m_run.blended, m_run.origin, m_run.text,
                                  m_run.advances);
    else
        m_writer->Text(m_run.font, m_run.color, m_run.origin, m_run.text, m_run.advances, rightToLeft);
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
    m_backdrop.Picture(PdfBackdrop::BoundsOf(
        {QPointF(x0, y0), QPointF(x1, y1), QPointF(x1 + x2 - x0, y1 + y2 - y0), QPointF(x2, y2)}));
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
    const std::vector<unsigned char> mask = PdfImageDecoder::Mask(str, width, height, nullptr, true, invert);
    if (mask.empty())
        return;
    GfxRGB rgb;
    state->getFillRGB(&rgb);
    QImage solid(width, height, QImage::Format_RGB32);
    solid.fill(rgbOf(rgb));
    drawPicture(state, PdfImageDecoder::WithAlpha(solid, mask, width, height));
}

void PdfEmfDevice::drawImage(GfxState *state, Object *ref, Stream *str, int width, int height,
                             GfxImageColorMap *colorMap, bool, const int *maskColors, bool) {
    if (operation(state))
        return;
    const QByteArray jpeg = m_plus && !maskColors ? PdfImageDecoder::Jpeg(str, colorMap) : QByteArray();
    drawPicture(state, PdfImageDecoder::Colors(str, width, height, colorMap, maskColors), jpeg, ref);
}

void PdfEmfDevice::drawMaskedImage(GfxState *state, Object *ref, Stream *str, int width, int height,
                                   GfxImageColorMap *colorMap, bool, Stream *maskStr, int maskWidth, int maskHeight,
                                   bool maskInvert, bool) {
    if (operation(state))
        return;
    const QImage colors = PdfImageDecoder::Colors(str, width, height, colorMap, nullptr);
    const std::vector<unsigned char> mask =
        PdfImageDecoder::Mask(maskStr, maskWidth, maskHeight, nullptr, true, maskInvert);
    drawPicture(state, PdfImageDecoder::WithAlpha(colors, mask, maskWidth, maskHeight), QByteArray(), ref);
}

void PdfEmfDevice::drawSoftMaskedImage(GfxState *state, Object *ref, Stream *str, int width, int height,
                                       GfxImageColorMap *colorMap, bool, Stream *maskStr, int maskWidth, int maskHeight,
                                       GfxImageColorMap *maskColorMap, bool) {
    if (operation(state))
        return;
    const QImage colors = PdfImageDecoder::Colors(str, width, height, colorMap, nullptr);
    if (!maskColorMap || !maskColorMap->isOk()) {
        drawPicture(state, colors, QByteArray(), ref);
        return;
    }
    const std::vector<unsigned char> mask =
        PdfImageDecoder::Mask(maskStr, maskWidth, maskHeight, maskColorMap, false, false);
    drawPicture(state, PdfImageDecoder::WithAlpha(colors, mask, maskWidth, maskHeight), QByteArray(), ref);
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
