#pragma once

#include "engine/lxPowerPointOle.h"
#include "engine/lxPreviewCache.h"

// The program's converter: every presentation is opened in the application and saved in the run's format (EMF,
// format code 23, by default).
class TlxVORLANE : public TlxPowerPointOle {
public:
    using TlxPowerPointOle::TlxPowerPointOle;

    // The converter class that the project names, so that CreateWorkers makes workers of this class.
    static const TlxConvertorClass *Class();

protected:
    // Output path; then open, SaveAs(output, format code), delete what is left of an old output, close,
    // after-conversion actions and the node's result. A per-file error becomes the node's failure text; the
    // presentation is closed in any case.
    void ConvertNode(TlxBatch *batch, TlxNode *node) override;
    // Small pictures of the slides just written, made by the open presentation, recorded in previews.
    void WritePreviews(TlxPreviewCache &previews, const QString &source, const QString &output);
};
