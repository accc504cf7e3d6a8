#include "render/PageOutput.h"

#include "render/PdfPages.h"
#include "render/lxEmfFile.h"
#include "render/lxSvgFile.h"

#include "base/lxWorkTimes.h"

#include <QtEndian>

QByteArray PageOutput::Draw(const PdfPages &pages, int page, const TlxOutputOptions &options,
                            std::chrono::steady_clock::time_point deadline, QString *error) {
    QByteArray data;
    {
        TlxWorkTimes::Scope drawing(TlxWorkTimes::Draw);
        data = drawn(pages, page, options, deadline, error);
    }
    if (error->isEmpty()) {
        // A file that is not whole never counts as a converted slide; an .emz is the EMF checked, then compressed.
        TlxWorkTimes::Scope checking(TlxWorkTimes::Check);
        *error = Check(data, options);
    }
    if (error->isEmpty() && options.format == TlxOutputOptions::Format::Emz) {
        TlxWorkTimes::Scope compressing(TlxWorkTimes::Write);
        data = TlxEmfFile::Gzip(data);
        if (data.isEmpty())
            *error = QStringLiteral("it could not be compressed");
    }
    return error->isEmpty() ? data : QByteArray();
}

QByteArray PageOutput::drawn(const PdfPages &pages, int page, const TlxOutputOptions &options,
                             std::chrono::steady_clock::time_point deadline, QString *error) {
    using Format = TlxOutputOptions::Format;
    switch (options.format) {
    case Format::Svg:
        return pages.Svg(page, error);
    case Format::Png:
        return pages.Png(page, options.pngWidth, error);
    case Format::Emf:
    case Format::Emz:
        return pages.Emf(page, options.imageResolution, kIslandResolution, error, true, deadline);
    case Format::Pdf:
        break;
    }
    *error = QStringLiteral("the format is not drawn page by page");
    return QByteArray();
}

QString PageOutput::Check(const QByteArray &data, const TlxOutputOptions &options) {
    using Format = TlxOutputOptions::Format;
    switch (options.format) {
    case Format::Svg:
        return TlxSvgFile::Check(data);
    case Format::Png:
        return CheckPng(data, options.pngWidth);
    case Format::Emf:
    case Format::Emz:
        return TlxEmfFile::Check(data);
    case Format::Pdf:
        return CheckPdf(data);
    }
    return QString();
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
