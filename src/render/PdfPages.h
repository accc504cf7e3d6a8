#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>
#include <functional>

// The pages of one PDF document drawn in this process, one at a time: as an SVG document (vectors, text as
// outlines, JPEG pictures kept as JPEG) or as a PNG picture of a given width on white.
//
// The drawing library keeps state shared by all documents (fonts), so every use of any PdfPages is serialised;
// a worker holds the lock only while it draws.
class PdfPages {
public:
    explicit PdfPages(const QByteArray &pdf);
    ~PdfPages();
    PdfPages(const PdfPages &) = delete;
    PdfPages &operator=(const PdfPages &) = delete;

    // Empty when the document was read; else why not.
    QString Error() const { return m_error; }
    int Count() const;
    // Page k (from 0) as a whole file's bytes; empty with error set when it could not be drawn.
    QByteArray Svg(int page, QString *error) const;
    QByteArray Png(int page, int width, QString *error) const;
    // Page k as an enhanced metafile: vectors, text as text, pictures as the PDF holds them but at most
    // pictureResolution pixels an inch (0: no limit); what the records cannot say is a picture of that part alone,
    // islandResolution pixels an inch. The drawing gives up at the deadline, with error set.
    // plus: an EMF+ dual file, whose EMF+ records keep the pictures compressed.
    QByteArray Emf(int page, int pictureResolution, int islandResolution, QString *error, bool plus = true,
                   std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::time_point::max()) const;

private:
    // Draws page onto the surface surfaceFor makes for its size in points (print: as for a printer), under the
    // lock; false with error set when it could not.
    bool draw(int page, const std::function<struct _cairo_surface *(double, double)> &surfaceFor, bool print,
              QString *error) const;
    struct Document;
    Document *m_doc = nullptr;
    QString m_error;
};
