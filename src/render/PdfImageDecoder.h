#pragma once

#include <QByteArray>
#include <QImage>

#include <vector>

class GfxImageColorMap;
class Stream;

// The pictures of a PDF page as pixels: the colours of an image stream, the JPEG it holds as it is, the samples of
// its mask. Every size is checked before anything is allocated, as a hostile PDF can name any.
class PdfImageDecoder {
public:
    // The rows of an image stream as colours (alpha 255; 0 where maskColors keys a sample out), or null when it
    // cannot be decoded.
    static QImage Colors(Stream *str, int width, int height, GfxImageColorMap *colorMap, const int *maskColors);
    // The JPEG bytes of a picture the PDF holds as a plain RGB or grey JPEG, or nothing.
    static QByteArray Jpeg(Stream *str, GfxImageColorMap *colorMap);
    // The grey samples of a mask stream (0 transparent .. 255 opaque), width x height; a stencil paints where its
    // sample is 0 (1 when invert).
    static std::vector<unsigned char> Mask(Stream *str, int width, int height, GfxImageColorMap *grey, bool stencil,
                                           bool invert);
    // image with alpha from mask (maskWidth x maskHeight), scaled to the image's pixels.
    static QImage WithAlpha(const QImage &image, const std::vector<unsigned char> &mask, int maskWidth, int maskHeight);
};
