#pragma once

#include "render/EmfRecordWriter.h"
#include "render/PdfBackdrop.h"
#include "render/PdfFontNames.h"
#include "render/TextFlow.h"

#include <OutputDev.h>

#include <map>
#include <memory>
#include <vector>

class GfxFont;

// Turns the drawing of one PDF page, as poppler walks it, into EMF records: paths, clips and pictures as they
// are, text as text under the font the slide asks for. What plain GDI records cannot say (soft masks, blend
// modes, glyphs without a meaning as text) is left for a picture: each such run of drawing operations is an
// island, a placeholder in the records that PdfIslandDevice fills with the picture of just those operations.
//
// Drawing operations are counted in the same way by both devices; both ask poppler for the same help (shadings
// and tiling patterns as plain fills, Type 3 glyphs as drawings), so that the counts name the same operations.
class PdfEmfDevice : public OutputDev {
public:
    struct Island {
        int first = 0, last = 0; // drawing operations, counted from 1
        int placeholder = -1;
    };

    // Pictures finer than pictureResolution pixels an inch at their size on the page are resampled to it (0:
    // kept as the PDF holds them).
    // plus: an EMF+ dual file, pictures kept compressed at every pixel in its EMF+ records.
    explicit PdfEmfDevice(int pictureResolution = 0, bool plus = false)
        : m_pictureResolution(pictureResolution), m_plus(plus) {}
    ~PdfEmfDevice() override;

    // The page's records, once the page was drawn; the device keeps none.
    std::unique_ptr<EmfRecordWriter> TakeWriter() { return std::move(m_writer); }
    const std::vector<Island> &Islands() const { return m_islands; }
    // Draws every tile of a tiling pattern through gfx, the tiles' own operations uncounted (so that both devices,
    // which fill a pattern as one operation, count alike); false when there are too many to draw one by one.
    static bool DrawTiles(Gfx *gfx, GfxTilingPattern *tPat, const double *mat, int x0, int y0, int x1, int y1,
                          double xStep, double yStep, int *uncounted);

    bool upsideDown() override { return true; }
    bool useDrawChar() override { return true; }
    bool useTilingPatternFill() override { return true; }
    bool useShadedFills(int) override { return false; }
    bool useFillColorStop() override { return false; }
    bool interpretType3Chars() override { return true; }
    bool checkTransparencyGroup(GfxState *, bool) override { return true; }

    void startPage(int pageNum, GfxState *state, XRef *xref) override;
    void endPage() override;
    void saveState(GfxState *state) override;
    void restoreState(GfxState *state) override;

    void stroke(GfxState *state) override;
    void fill(GfxState *state) override;
    void eoFill(GfxState *state) override;
    // A tiling pattern's tiles, each drawn here as its own drawing (one operation for the counts).
    bool tilingPatternFill(GfxState *state, Gfx *gfx, Catalog *cat, GfxTilingPattern *tPat, const double *mat, int x0,
                           int y0, int x1, int y1, double xStep, double yStep) override;
    void clip(GfxState *state) override;
    void eoClip(GfxState *state) override;

    void drawChar(GfxState *state, double x, double y, double dx, double dy, double originX, double originY,
                  CharCode code, int nBytes, const Unicode *u, int uLen) override;
    bool beginType3Char(GfxState *state, double x, double y, double dx, double dy, CharCode code, const Unicode *u,
                        int uLen) override;
    void endType3Char(GfxState *state) override;
    void endTextObject(GfxState *state) override;

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
    struct State {
        std::vector<EmfRecordWriter::ClipPath> clip;
        std::uint64_t clipId = 0;
        double groupAlpha = 1;   // transparency groups this drawing is inside, multiplied
        double outerOpacity = 1; // the fill opacity when this state was saved
    };
    // A run of glyphs on one baseline in one font and colour: one text record.
    struct TextRun {
        EmfRecordWriter::Font font;
        QRgb color = 0;
        double opacity = 1;
        QRgb blended = 0; // the colour GDI draws a translucent run in
        QPointF origin, last;
        double ux = 1, uy = 0; // the baseline's direction
        QString text;
        std::vector<double> advances;
        std::size_t lastStart = 0;     // where the last character's units begin
        std::vector<qsizetype> starts; // where each glyph's characters begin in text
        std::uint64_t clipId = 0;
        TextFlow::Way way = TextFlow::Neutral; // neutral while it holds only spaces
        bool backward = false;                 // drawn from the right, in reading order
        bool Empty() const { return text.isEmpty(); }
    };

    // One glyph drawn as text: where it starts, its baseline's direction and its advance along it, in points.
    struct Glyph {
        EmfRecordWriter::Font font;
        QRgb color = 0;
        double opacity = 1;
        QRgb blended = 0;
        TextFlow::Way way = TextFlow::Neutral;
        QPointF at;
        double ux = 1, uy = 0, up = 0, advance = 0;
    };
    // Adds a glyph's characters to the run in hand, or starts a run where it does not continue that one.
    void addGlyph(const Glyph &glyph, const QString &chars);
    EmfRecordWriter::Font fontOf(GfxState *state, double height, const Glyph &glyph);
    // True when glyph continues the run on its baseline (the last character's advance then ends where it starts).
    bool continuesRun(const Glyph &glyph);
    bool continuesBackward(const Glyph &glyph, double forward);
    // Counts one drawing operation; true when it belongs to an island (and is not drawn here).
    bool operation(GfxState *state, bool forceIsland = false);
    void flushText();
    void applyClip();
    double opacity(GfxState *state, bool fillSide) const;
    void fillPath(GfxState *state, bool evenOdd);
    void addClip(GfxState *state, bool evenOdd);
    // The picture at most as fine as the limit at its size on the page.
    QImage limited(const QImage &image, double widthPoints, double heightPoints) const;
    // Places a picture over the unit square of the current transformation.
    // ref: the PDF's picture object, which tells the same picture again on later slides.
    void drawPicture(GfxState *state, const QImage &image, const QByteArray &jpeg = QByteArray(),
                     const Object *ref = nullptr);
    const PdfFontNames::Face &faceOf(GfxState *state);

    int m_pictureResolution = 0;
    bool m_plus = false;
    std::unique_ptr<EmfRecordWriter> m_writer;
    std::vector<State> m_saved;
    State m_state;
    std::uint64_t m_nextClipId = 0;
    TextRun m_run;
    PdfBackdrop m_backdrop;
    std::vector<Island> m_islands;
    int m_ops = 0;
    int m_type3 = 0; // depth inside Type 3 glyphs, whose operations are not counted
    bool m_islandOpen = false;

    int m_maskDepth = -1; // while a soft mask holds: the state depth it was set at
    std::map<const GfxFont *, std::pair<std::shared_ptr<GfxFont>, PdfFontNames::Face>> m_faces;
};
