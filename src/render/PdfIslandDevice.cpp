#include "render/PdfIslandDevice.h"

#include "render/PdfEmfDevice.h"

#include <splash/SplashBitmap.h>

#include <algorithm>
#include <cstring>

namespace {
SplashColor white = {255, 255, 255, 0};
} // namespace

PdfIslandDevice::PdfIslandDevice(std::vector<std::pair<int, int>> runs, double scale)
    : SplashOutputDev(splashModeRGB8, 4, false, white), m_runs(std::move(runs)), m_scale(scale) {
    m_pictures.resize(m_runs.size());
    setFontAntialias(true);
    setVectorAntialias(true);
}

PdfIslandDevice::~PdfIslandDevice() = default;

void PdfIslandDevice::startPage(int pageNum, GfxState *state, XRef *xref) {
    SplashOutputDev::startPage(pageNum, state, xref);
    clearPage();
}

void PdfIslandDevice::clearPage() {
    SplashBitmap *bitmap = getBitmap();
    if (!bitmap || !bitmap->getAlphaPtr())
        return;
    std::memset(bitmap->getDataPtr(), 255, std::size_t(bitmap->getRowSize()) * std::size_t(bitmap->getHeight()));
    std::memset(bitmap->getAlphaPtr(), 0, std::size_t(bitmap->getWidth()) * std::size_t(bitmap->getHeight()));
}

bool PdfIslandDevice::begin() {
    if (m_type3 > 0)
        return m_inRun;
    ++m_ops;
    if (!m_inRun && m_next < m_runs.size() && m_ops == m_runs[m_next].first) {
        clearPage();
        m_inRun = true;
    }
    return m_inRun;
}

void PdfIslandDevice::end() {
    if (m_type3 > 0 || !m_inRun || m_next >= m_runs.size() || m_ops < m_runs[m_next].second)
        return;
    takePicture();
    m_inRun = false;
    ++m_next;
}

void PdfIslandDevice::takePicture() {
    SplashBitmap *bitmap = getBitmap();
    if (!bitmap || !bitmap->getAlphaPtr())
        return;
    const int w = bitmap->getWidth(), h = bitmap->getHeight();
    const unsigned char *alpha = bitmap->getAlphaPtr();
    int l = w, t = h, r = -1, b = -1;
    for (int y = 0; y < h; ++y) {
        const unsigned char *row = alpha + std::size_t(y) * std::size_t(w);
        for (int x = 0; x < w; ++x) {
            if (row[x]) {
                l = std::min(l, x), r = std::max(r, x), t = std::min(t, y), b = std::max(b, y);
            }
        }
    }
    if (r < l)
        return;
    QImage image(r - l + 1, b - t + 1, QImage::Format_ARGB32_Premultiplied);
    bool opaque = true;
    for (int y = t; y <= b; ++y) {
        const unsigned char *rgb = bitmap->getDataPtr() + std::size_t(y) * std::size_t(bitmap->getRowSize());
        const unsigned char *a = alpha + std::size_t(y) * std::size_t(w);
        auto *out = reinterpret_cast<QRgb *>(image.scanLine(y - t));
        for (int x = l; x <= r; ++x) {
            const int k = a[x];
            opaque = opaque && k == 255;
            out[x - l] = qRgba(rgb[3 * x] * k / 255, rgb[3 * x + 1] * k / 255, rgb[3 * x + 2] * k / 255, k);
        }
    }
    Picture &p = m_pictures[m_next];
    p.image = opaque ? image.convertToFormat(QImage::Format_RGB32) : image;
    p.area = QRectF(l / m_scale, t / m_scale, (r - l + 1) / m_scale, (b - t + 1) / m_scale);
}

bool PdfIslandDevice::tilingPatternFill(GfxState *state, Gfx *gfx, Catalog *cat, GfxTilingPattern *tPat,
                                        const double *mat, int x0, int y0, int x1, int y1, double xStep, double yStep) {
    if (begin() && !SplashOutputDev::tilingPatternFill(state, gfx, cat, tPat, mat, x0, y0, x1, y1, xStep, yStep))
        PdfEmfDevice::DrawTiles(gfx, tPat, mat, x0, y0, x1, y1, xStep, yStep, &m_type3);
    end();
    return true; // drawn, or not this device's to draw
}

void PdfIslandDevice::stroke(GfxState *state) {
    if (begin())
        SplashOutputDev::stroke(state);
    end();
}

void PdfIslandDevice::fill(GfxState *state) {
    if (begin())
        SplashOutputDev::fill(state);
    end();
}

void PdfIslandDevice::eoFill(GfxState *state) {
    if (begin())
        SplashOutputDev::eoFill(state);
    end();
}

void PdfIslandDevice::drawChar(GfxState *state, double x, double y, double dx, double dy, double originX,
                               double originY, CharCode code, int nBytes, const Unicode *u, int uLen) {
    if (begin())
        SplashOutputDev::drawChar(state, x, y, dx, dy, originX, originY, code, nBytes, u, uLen);
    end();
}

bool PdfIslandDevice::beginType3Char(GfxState *state, double x, double y, double dx, double dy, CharCode code,
                                     const Unicode *u, int uLen) {
    if (!begin()) {
        end();
        return true; // not drawn here: its drawing is skipped
    }
    if (m_type3 > 0)
        return SplashOutputDev::beginType3Char(state, x, y, dx, dy, code, u, uLen);
    if (SplashOutputDev::beginType3Char(state, x, y, dx, dy, code, u, uLen)) {
        end();
        return true;
    }
    ++m_type3;
    return false;
}

void PdfIslandDevice::endType3Char(GfxState *state) {
    SplashOutputDev::endType3Char(state);
    if (m_type3 > 0 && --m_type3 == 0)
        end();
}

void PdfIslandDevice::drawImageMask(GfxState *state, Object *ref, Stream *str, int width, int height, bool invert,
                                    bool interpolate, bool inlineImg) {
    if (begin())
        SplashOutputDev::drawImageMask(state, ref, str, width, height, invert, interpolate, inlineImg);
    end();
}

void PdfIslandDevice::drawImage(GfxState *state, Object *ref, Stream *str, int width, int height,
                                GfxImageColorMap *colorMap, bool interpolate, const int *maskColors, bool inlineImg) {
    if (begin())
        SplashOutputDev::drawImage(state, ref, str, width, height, colorMap, interpolate, maskColors, inlineImg);
    end();
}

void PdfIslandDevice::drawMaskedImage(GfxState *state, Object *ref, Stream *str, int width, int height,
                                      GfxImageColorMap *colorMap, bool interpolate, Stream *maskStr, int maskWidth,
                                      int maskHeight, bool maskInvert, bool maskInterpolate) {
    if (begin())
        SplashOutputDev::drawMaskedImage(state, ref, str, width, height, colorMap, interpolate, maskStr, maskWidth,
                                         maskHeight, maskInvert, maskInterpolate);
    end();
}

void PdfIslandDevice::drawSoftMaskedImage(GfxState *state, Object *ref, Stream *str, int width, int height,
                                          GfxImageColorMap *colorMap, bool interpolate, Stream *maskStr, int maskWidth,
                                          int maskHeight, GfxImageColorMap *maskColorMap, bool maskInterpolate) {
    if (begin())
        SplashOutputDev::drawSoftMaskedImage(state, ref, str, width, height, colorMap, interpolate, maskStr, maskWidth,
                                             maskHeight, maskColorMap, maskInterpolate);
    end();
}

void PdfIslandDevice::beginTransparencyGroup(GfxState *state, const double *bbox, GfxColorSpace *blendingColorSpace,
                                             bool isolated, bool knockout, bool forSoftMask) {
    const bool drawn = begin();
    m_groups.push_back(drawn);
    if (drawn)
        SplashOutputDev::beginTransparencyGroup(state, bbox, blendingColorSpace, isolated, knockout, forSoftMask);
    end();
}

void PdfIslandDevice::endTransparencyGroup(GfxState *state) {
    begin();
    if (!m_groups.empty() && m_groups.back())
        SplashOutputDev::endTransparencyGroup(state);
    end();
}

void PdfIslandDevice::paintTransparencyGroup(GfxState *state, const double *bbox) {
    begin();
    const bool drawn = !m_groups.empty() && m_groups.back();
    if (!m_groups.empty())
        m_groups.pop_back();
    if (drawn)
        SplashOutputDev::paintTransparencyGroup(state, bbox);
    end();
}

void PdfIslandDevice::setSoftMask(GfxState *state, const double *bbox, bool alpha, Function *transferFunc,
                                  GfxColor *backdropColor) {
    begin();
    const bool drawn = !m_groups.empty() && m_groups.back();
    if (!m_groups.empty())
        m_groups.pop_back();
    if (drawn)
        SplashOutputDev::setSoftMask(state, bbox, alpha, transferFunc, backdropColor);
    end();
}

void PdfIslandDevice::clearSoftMask(GfxState *state) {
    // State, not drawing: a mask left over must not reach the next run.
    begin();
    SplashOutputDev::clearSoftMask(state);
    end();
}
