#include "render/PageOutput.h"

#include "render/PdfPages.h"
#include "render/lxEmfFile.h"
#include "render/lxSvgFile.h"

#include <QtEndian>

namespace {
QByteArray emf(const PdfPages &pages, int page, const TlxOutputOptions &options,
               std::chrono::steady_clock::time_point deadline, QString *error) {
    QByteArray data = pages.Emf(page, options.imageResolution, PageOutput::kIslandResolution, error, true, deadline);
    // A file that is not whole never counts as a converted slide; an .emz is the EMF checked, compressed.
    if (error->isEmpty())
        *error = TlxEmfFile::Check(data);
    if (error->isEmpty() && options.format == TlxOutputOptions::Format::Emz)
        data = TlxEmfFile::Gzip(data);
    if (error->isEmpty() && data.isEmpty())
        *error = QStringLiteral("it could not be compressed");
    return data;
}
} // namespace

QByteArray PageOutput::Draw(const PdfPages &pages, int page, const TlxOutputOptions &options,
                            std::chrono::steady_clock::time_point deadline, QString *error) {
    using Format = TlxOutputOptions::Format;
    QByteArray data;
    switch (options.format) {
    case Format::Svg:
        data = pages.Svg(page, error);
        if (error->isEmpty())
            *error = TlxSvgFile::Check(data);
        break;
    case Format::Png:
        data = pages.Png(page, options.pngWidth, error);
        if (error->isEmpty())
            *error = CheckPng(data, options.pngWidth);
        break;
    case Format::Emf:
    case Format::Emz:
        data = emf(pages, page, options, deadline, error);
        break;
    case Format::Pdf:
        *error = QStringLiteral("the format is not drawn page by page");
        break;
    }
    return error->isEmpty() ? data : QByteArray();
}

QString PageOutput::CheckPng(const QByteArray &data, int width) {
    if (!data.startsWith("\x89PNG\r\n\x1a\n") || data.size() < 24 || data.mid(12, 4) != "IHDR")
        return QStringLiteral("it is not a PNG picture");
    const quint32 actual = qFromBigEndian<quint32>(data.constData() + 16);
    if (actual != quint32(width))
        return QStringLiteral("it is %1 pixels wide, not %2").arg(actual).arg(width);
    return QString();
}

QString PageOutput::CheckPdf(const QByteArray &data) {
    if (!data.startsWith("%PDF-") || !data.right(1024).contains("%%EOF"))
        return QStringLiteral("it is not a complete PDF document");
    return QString();
}
