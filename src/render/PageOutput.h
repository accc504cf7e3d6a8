#pragma once

#include "base/lxOutputOptions.h"

#include <QByteArray>
#include <QString>

#include <chrono>

class PdfPages;

// One page of the office's PDF as the file of one slide: drawn in the options' format and checked as a whole file
// of that format before it counts (an EMF record by record, an SVG as a well-formed document, a PNG by its
// signature and width, a PDF by its start and end).
class PageOutput {
public:
    // Pixels an inch of the pictures that stand in an EMF for what its records cannot say (soft masks, blend modes).
    static constexpr int kIslandResolution = 150;

    // The page's file; empty, with the reason in error, when it could not be drawn whole (or not by the deadline).
    static QByteArray Draw(const PdfPages &pages, int page, const TlxOutputOptions &options,
                           std::chrono::steady_clock::time_point deadline, QString *error);
    // Empty when data is a whole file of the options' format (an EMZ's EMF before it is compressed); a reason for
    // the user otherwise.
    static QString Check(const QByteArray &data, const TlxOutputOptions &options);
    // Empty when data is a PNG picture of the given width; a reason for the user otherwise.
    static QString CheckPng(const QByteArray &data, int width);
    // Empty when data is a whole PDF document (its start and its end); a reason for the user otherwise.
    static QString CheckPdf(const QByteArray &data);

private:
    static QByteArray drawn(const PdfPages &pages, int page, const TlxOutputOptions &options,
                            std::chrono::steady_clock::time_point deadline, QString *error);
};
