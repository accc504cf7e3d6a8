#pragma once

#include "render/EmfRecordWriter.h"

#include <QPointF>

#include <vector>

class GfxState;

// The paths of a PDF page as the EMF writer takes them: the path in hand in page points, its lines, and its dashes.
class PdfPathGeometry {
public:
    // The current path of state, in page points, curves kept.
    static EmfRecordWriter::Path FromState(GfxState *state);
    // The lines of each subpath of path, curves as short lines.
    static std::vector<std::vector<QPointF>> Flattened(const EmfRecordWriter::Path &path);
    // The dashes of path (pattern: dash, gap, ... in points, starting phase points in) as a path of their own.
    static EmfRecordWriter::Path Dashed(const EmfRecordWriter::Path &path, const std::vector<double> &pattern,
                                        double phase);
};
