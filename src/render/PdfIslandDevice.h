#pragma once

#include <QImage>
#include <QRectF>

#include <SplashOutputDev.h>

#include <utility>
#include <vector>

// Draws chosen runs of a page's drawing operations, each alone on a transparent page, as pictures: what an EMF
// cannot say as records (soft masks, blend modes) becomes a picture of just that part of the slide, so the rest
// stays vector. The operations are counted as PdfEmfDevice counts them; everything outside the runs is passed
// over, but the state (clips, transformations, groups) is kept as the page sets it.
class PdfIslandDevice : public SplashOutputDev {
public:
    struct Picture {
        QImage image; // premultiplied; null when the run drew nothing
        QRectF area;  // page points
    };
    // runs: first and last operation (from 1) of each, in order; scale: pixels a point.
    PdfIslandDevice(std::vector<std::pair<int, int>> runs, double scale);
    ~PdfIslandDevice() override;

    // One picture a run, in the order of the runs; complete once the page was drawn.
    const std::vector<Picture> &Pictures() const { return m_pictures; }

    bool useTilingPatternFill() override { return true; }
    bool useShadedFills(int) override { return false; }
    bool useFillColorStop() override { return false; }
    bool interpretType3Chars() override { return true; }
    bool checkTransparencyGroup(GfxState *, bool) override { return true; }

    void startPage(int pageNum, GfxState *state, XRef *xref) override;
    bool tilingPatternFill(GfxState *state, Gfx *gfx, Catalog *cat, GfxTilingPattern *tPat, const double *mat, int x0,
                           int y0, int x1, int y1, double xStep, double yStep) override;
    void stroke(GfxState *state) override;
    void fill(GfxState *state) override;
    void eoFill(GfxState *state) override;
    void drawChar(GfxState *state, double x, double y, double dx, double dy, double originX, double originY,
                  CharCode code, int nBytes, const Unicode *u, int uLen) override;
    bool beginType3Char(GfxState *state, double x, double y, double dx, double dy, CharCode code, const Unicode *u,
                        int uLen) override;
    void endType3Char(GfxState *state) override;
    void drawImageMask(GfxState *state, Object *ref, Stream *str, int width, int height, bool invert, bool interpolate,
                       bool inlineImg) override;
    void drawImage(GfxState *state, Object *ref, Stream *str, int width, int height, GfxImageColorMap *colorMap,
                   bool interpolate, const int *maskColors, bool inlineImg) override;
    void drawMaskedImage(GfxState *state, Object *ref, Stream *str, int width, int height, GfxImageColorMap *colorMap,
                         bool interpolate, Stream *maskStr, int maskWidth, int maskHeight, bool maskInvert,
                         bool maskInterpolate) override;
    void drawSoftMaskedImage(GfxState *state, Object *ref, Stream *str, int width, int height,
                             GfxImageColorMap *colorMap, bool interpolate, Stream *maskStr, int maskWidth,
                             int maskHeight, GfxImageColorMap *maskColorMap, bool maskInterpolate) override;
    void beginTransparencyGroup(GfxState *state, const double *bbox, GfxColorSpace *blendingColorSpace, bool isolated,
                                bool knockout, bool forSoftMask) override;
    void endTransparencyGroup(GfxState *state) override;
    void paintTransparencyGroup(GfxState *state, const double *bbox) override;
    void setSoftMask(GfxState *state, const double *bbox, bool alpha, Function *transferFunc,
                     GfxColor *backdropColor) override;
    void clearSoftMask(GfxState *state) override;

private:
    // Counts one operation; true when it is drawn.
    bool begin();
    // After an operation: a run that ended with it becomes its picture.
    void end();
    void takePicture();
    void clearPage();

    std::vector<std::pair<int, int>> m_runs;
    std::vector<Picture> m_pictures;
    double m_scale;
    std::size_t m_next = 0; // the run under way or next
    int m_ops = 0;
    int m_type3 = 0;
    bool m_inRun = false;
    std::vector<bool> m_groups; // for each open group: whether it was passed on
};
