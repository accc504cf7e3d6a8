#include "engine/lxVORLANE.h"

#include "automation/OleError.h"
#include "base/lxError.h"
#include "base/lxOutputOptions.h"
#include "base/lxWorkTimes.h"
#include "deck/DeckCopy.h"
#include "deck/DeckPackage.h"
#include "fonts/FontReport.h"
#include "project/lxProject.h"
#include "render/lxEmfFile.h"

#include <exception>

namespace {
const TlxConvertorClassOf<TlxVORLANE> vorlaneClass;

QString messageOf(const std::exception &e) {
    if (auto *ole = dynamic_cast<const automation::EOleError *>(&e))
        return ole->message();
    if (auto *own = dynamic_cast<const ElxError *>(&e))
        return own->Message();
    return QString::fromUtf8(e.what());
}
} // namespace

void TlxVORLANE::WritePreviews(TlxPreviewCache &previews, const QString &source, const QString &output) {
    // Pictures are a convenience of the window: a deck whose pictures fail is converted all the same.
    try {
        const TlxOutputOptions options = TlxProject::OutputOptionsOrDefault();
        const int count = Presentation->GetProperty(QStringLiteral("SlideCount")).toInt();
        const QString folder = previews.DeckFolder(source);
        if (folder.isEmpty())
            return;
        QList<TlxPreviewCache::Entry> entries;
        for (int slide : options.ChosenSlides(count)) {
            const QString picture = folder + QStringLiteral("/%1.png").arg(slide);
            Presentation->CallMethod(QStringLiteral("ExportPng"), {slide, picture, TlxPreviewCache::kWidth});
            entries << TlxPreviewCache::Entry{slide, picture,
                                              options.PerSlide() ? TlxOutputOptions::SlidePath(output, slide) : output};
        }
        previews.Store(source, entries);
    } catch (const std::exception &) {
    }
}

const TlxConvertorClass *TlxVORLANE::Class() {
    return &vorlaneClass;
}

void TlxVORLANE::ConvertNode(TlxBatch *batch, TlxNode *node) {
    QString existing;
    const QString output = TargetPath(batch, node, &existing);
    const std::shared_ptr<TlxPreviewCache> previews = batch->Previews();
    if (output.isEmpty()) {
        // Skipped: the application is not even started for it; a window can still list the outputs it has.
        if (!existing.isEmpty())
            node->Outputs = QStringList{existing};
        if (previews && !existing.isEmpty()) {
            QList<TlxPreviewCache::Entry> entries;
            for (const QString &file : SlideFiles(existing))
                entries << TlxPreviewCache::Entry{0, QString(), file};
            previews->Store(node->SourceFile, entries);
        }
        return;
    }
    try {
        OpenPresentation(node->SourceFile);
        // The old output stays until the new one is written: a deck that fails (a full disk, a broken file)
        // leaves the last good conversion in place.
        const QList<OldFile> old = OldOutputs(output);
        if (!Presentation)
            throw ElxError(QStringLiteral("The presentation could not be opened: %1").arg(node->SourceFile));
        {
            TlxWorkTimes::Scope writing(TlxWorkTimes::Write);
            // The options travel with the call: the office never reads the project.
            const TlxOutputOptions options = TlxProject::OutputOptionsOrDefault();
            Presentation->CallMethod(QStringLiteral("SaveAs"), {output, options.SaveAsCode(), false, options.Text()});
        }
        DeleteLeftOver(old);
        if (previews)
            WritePreviews(*previews, node->SourceFile, output);
        ClosePresentation();
        FinishSource(batch, node, output);
        // The first file written: with a choice of slides that need not be the deck's output name itself.
        node->Outputs = SlideFiles(output);
        node->ResultText = node->Outputs.isEmpty() ? output : node->Outputs.first();
        node->Status = nsSuccess;
        // Read from the deck and the files, not asked of the office: a user learns why lines break where they do
        // and which slides hold parts drawn as pictures.
        const deck::DeckPackage package(node->SourceFile);
        node->Fonts = fonts::FontReport::For(package);
        node->Equations = deck::DeckCopy::EquationPictures(package);
        node->PictureParts = TlxEmfFile::FilesWithPictureParts(node->Outputs);
        batch->AddSuccess();
    } catch (const std::exception &e) {
        const QString message = messageOf(e);
        node->ResultText = message;
        node->Status = nsFailure;
        batch->AddFailure(message);
    }
    ClosePresentation();
}
