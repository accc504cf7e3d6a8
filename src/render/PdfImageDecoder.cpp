#include "render/PdfImageDecoder.h"

#include <GfxState.h>
#include <Stream.h>

#include <algorithm>
#include <type_traits>

namespace {
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
} // namespace

// The rows of an image stream as colours (alpha 255), or null when it cannot be decoded.
QImage PdfImageDecoder::Colors(Stream *str, int width, int height, GfxImageColorMap *colorMap, const int *maskColors) {
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
QByteArray PdfImageDecoder::Jpeg(Stream *str, GfxImageColorMap *colorMap) {
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
std::vector<unsigned char> PdfImageDecoder::Mask(Stream *str, int width, int height, GfxImageColorMap *grey,
                                                 bool stencil, bool invert) {
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
QImage PdfImageDecoder::WithAlpha(const QImage &image, const std::vector<unsigned char> &mask, int maskWidth,
                                  int maskHeight) {
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
