#include "render/PdfPages.h"

#include "render/EmfFormat.h"
#include "render/EmfPictureRecords.h"
#include "render/EmfRecordWriter.h"
#include "render/PdfEmfDevice.h"
#include "render/PdfIslandDevice.h"

#include <GlobalParams.h>
#include <PDFDoc.h>
#include <Stream.h>

#include <QBuffer>
#include <QImage>
#include <QImageWriter>

#include <cairo-svg.h>
#include <cairo.h>
#include <poppler.h>

#include <cmath>
#include <functional>
#include <mutex>

namespace {

std::mutex &drawingLock() {
    static std::mutex lock;
    return lock;
}

cairo_status_t appendTo(void *closure, const unsigned char *data, unsigned int length) {
    static_cast<QByteArray *>(closure)->append(reinterpret_cast<const char *>(data), qsizetype(length));
    return CAIRO_STATUS_SUCCESS;
}

QString cairoError(cairo_status_t status) {
    return QString::fromUtf8(cairo_status_to_string(status));
}

} // namespace

struct PdfPages::Document {
    QByteArray pdf; // the bytes the library reads, shared with the caller's, never copied
    GBytes *bytes = nullptr;
    PopplerDocument *doc = nullptr;
    std::unique_ptr<PDFDoc> pages;          // the same bytes read for drawing as records, once one is asked for
    EmfRecordWriter::PictureCache pictures; // compressed once for all the pages that show them
    PDFDoc *Pages() {
        if (!pages) {
            if (!globalParams)
                globalParams = std::make_unique<GlobalParams>();
            pages = std::make_unique<PDFDoc>(new MemStream(pdf.constData(), 0, pdf.size(), Object(objNull)));
        }
        return pages->isOk() ? pages.get() : nullptr;
    }
    // Page k, or null when there is none (without the library's complaint about the index).
    PopplerPage *Page(int k) const {
        return doc && k >= 0 && k < poppler_document_get_n_pages(doc) ? poppler_document_get_page(doc, k) : nullptr;
    }
};

PdfPages::PdfPages(const QByteArray &pdf) : m_doc(new Document) {
    std::lock_guard lock(drawingLock());
    m_doc->pdf = pdf;
    m_doc->bytes = g_bytes_new_static(m_doc->pdf.constData(), gsize(m_doc->pdf.size()));
    GError *error = nullptr;
    m_doc->doc = poppler_document_new_from_bytes(m_doc->bytes, nullptr, &error);
    if (!m_doc->doc) {
        m_error = QStringLiteral("the office's PDF cannot be read (%1)")
                      .arg(error ? QString::fromUtf8(error->message) : QStringLiteral("no reason given"));
        if (error)
            g_error_free(error);
    }
}

PdfPages::~PdfPages() {
    std::lock_guard lock(drawingLock());
    m_doc->pages.reset();
    if (m_doc->doc)
        g_object_unref(m_doc->doc);
    g_bytes_unref(m_doc->bytes);
    delete m_doc;
}

int PdfPages::Count() const {
    std::lock_guard lock(drawingLock());
    return m_doc->doc ? poppler_document_get_n_pages(m_doc->doc) : 0;
}

bool PdfPages::draw(int page, const std::function<cairo_surface_t *(double, double)> &surfaceFor, bool print,
                    QString *error) const {
    std::lock_guard lock(drawingLock());
    PopplerPage *p = m_doc->Page(page);
    if (!p) {
        *error = QStringLiteral("the office's PDF has no page %1").arg(page + 1);
        return false;
    }
    double width = 0, height = 0;
    poppler_page_get_size(p, &width, &height);
    cairo_surface_t *surface = surfaceFor(std::max(width, 1.0), std::max(height, 1.0));
    cairo_t *cr = cairo_create(surface);
    // For print, a vector file: the page's content without what only a viewer shows.
    if (print)
        poppler_page_render_for_printing(p, cr);
    else
        poppler_page_render(p, cr);
    cairo_show_page(cr);
    cairo_status_t status = cairo_status(cr);
    cairo_destroy(cr);
    cairo_surface_finish(surface); // an SVG's end is written here
    if (status == CAIRO_STATUS_SUCCESS)
        status = cairo_surface_status(surface);
    cairo_surface_destroy(surface);
    g_object_unref(p);
    if (status != CAIRO_STATUS_SUCCESS) {
        *error = QStringLiteral("page %1 could not be drawn (%2)").arg(page + 1).arg(cairoError(status));
        return false;
    }
    return true;
}

QByteArray PdfPages::Svg(int page, QString *error) const {
    QByteArray out;
    const bool drawn = draw(
        page,
        [&out](double width, double height) {
            cairo_surface_t *surface = cairo_svg_surface_create_for_stream(appendTo, &out, width, height);
            cairo_svg_surface_restrict_to_version(surface, CAIRO_SVG_VERSION_1_1);
            // In points, the PDF's own unit, whatever newer cairo releases take when none is named.
            cairo_svg_surface_set_document_unit(surface, CAIRO_SVG_UNIT_PT);
            return surface;
        },
        true, error);
    return drawn ? out : QByteArray();
}

QByteArray PdfPages::Png(int page, int width, QString *error) const {
    QImage picture;
    const bool drawn = draw(
        page,
        [&picture, width](double w, double h) {
            const int height = std::max(1, int(std::lround(width * h / w)));
            picture = QImage(width, height, QImage::Format_RGB32);
            picture.fill(Qt::white);
            cairo_surface_t *surface = cairo_image_surface_create_for_data(picture.bits(), CAIRO_FORMAT_RGB24, width,
                                                                           height, int(picture.bytesPerLine()));
            cairo_surface_set_device_scale(surface, width / w, height / h);
            return surface;
        },
        false, error);
    if (!drawn)
        return QByteArray();
    // Encoding needs no lock: the picture is this thread's own. A middle compression: Qt's default takes about
    // four times as long for under one percent fewer bytes on photos.
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    writer.setQuality(50);
    if (!writer.write(picture)) {
        *error = QStringLiteral("page %1 could not be written as PNG").arg(page + 1);
        return QByteArray();
    }
    return out;
}

namespace {
bool pastDeadline(void *data) {
    return std::chrono::steady_clock::now() >= *static_cast<std::chrono::steady_clock::time_point *>(data);
}
} // namespace

QByteArray PdfPages::Emf(int page, int pictureResolution, int islandResolution, QString *error, bool plus,
                         std::chrono::steady_clock::time_point deadline) const {
    std::unique_ptr<EmfRecordWriter> writer;
    std::vector<PdfEmfDevice::Island> islands;
    std::vector<PdfIslandDevice::Picture> pictures;
    {
        std::lock_guard lock(drawingLock());
        PDFDoc *doc = m_doc->doc ? m_doc->Pages() : nullptr;
        if (!doc || page < 0 || page >= doc->getNumPages()) {
            *error = doc ? QStringLiteral("the office's PDF has no page %1").arg(page + 1)
                         : QStringLiteral("the office's PDF cannot be read");
            return QByteArray();
        }
        PdfEmfDevice device(pictureResolution, plus);
        doc->displayPage(&device, page + 1, 72, 72, 0, true, false, true, pastDeadline, &deadline);
        if (std::chrono::steady_clock::now() >= deadline) {
            *error = QStringLiteral("page %1 took longer to draw than the time limit").arg(page + 1);
            return QByteArray();
        }
        writer = device.TakeWriter();
        islands = device.Islands();
        if (!writer) {
            *error = QStringLiteral("page %1 could not be drawn").arg(page + 1);
            return QByteArray();
        }
        if (!islands.empty()) {
            std::vector<std::pair<int, int>> runs;
            for (const PdfEmfDevice::Island &i : islands)
                runs.emplace_back(i.first, i.last);
            const double scale = std::max(1, islandResolution) / 72.0;
            PdfIslandDevice painter(runs, scale);
            painter.startDoc(doc);
            doc->displayPage(&painter, page + 1, 72 * scale, 72 * scale, 0, true, false, true, pastDeadline, &deadline);
            pictures = painter.Pictures();
        }
    }
    // The records are this thread's own: the pictures go in without the lock.
    for (std::size_t i = 0; i < islands.size() && i < pictures.size(); ++i) {
        const PdfIslandDevice::Picture &p = pictures[i];
        if (p.image.isNull())
            continue;
        QImage image = p.image;
        // A picture of a large area is kept to a size a reader draws without strain.
        constexpr qint64 kMaxPixels = 4'000'000;
        const qint64 pixels = qint64(image.width()) * image.height();
        if (pixels > kMaxPixels) {
            const double k = std::sqrt(double(kMaxPixels) / double(pixels));
            image = image.scaled(std::max(1, int(image.width() * k)), std::max(1, int(image.height() * k)),
                                 Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        }
        int count = 0;
        const QByteArray records =
            EmfPictureRecords::Plain(image, {p.area.topLeft(), p.area.topRight(), p.area.bottomLeft()}, 1.0, &count);
        writer->FillPlaceholder(islands[i].placeholder, emf::PictureMarkComment() + records, count + 1);
    }
    return writer->Finish(&m_doc->pictures);
}
