#include "engine/lxVORLANE.h"

#include "engine/lxError.h"
#include "engine/lxOutputOptions.h"
#include "engine/lxWorkTimes.h"
#include "platform/automation/OleError.h"

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

const TlxConvertorClass *TlxVORLANE::Class() {
    return &vorlaneClass;
}

void TlxVORLANE::ConvertNode(TlxBatch *batch, TlxNode *node) {
    const QString output = TargetPath(batch, node);
    if (output.isEmpty())
        return; // skipped: the application is not even started for it
    try {
        OpenPresentation(node->SourceFile);
        DeleteTarget(output);
        if (!Presentation)
            throw ElxError(QStringLiteral("The presentation could not be opened: %1").arg(node->SourceFile));
        {
            TlxWorkTimes::Scope writing(TlxWorkTimes::Write);
            const int format = TlxOutputOptions::CurrentOrDefault().SaveAsCode();
            Presentation->CallMethod(QStringLiteral("SaveAs"), {output, format});
        }
        ClosePresentation();
        FinishSource(batch, node, output);
        // The first file written: with a choice of slides that need not be the deck's output name itself.
        const QStringList written = SlideFiles(output);
        node->ResultText = written.isEmpty() ? output : written.first();
        node->Status = nsSuccess;
        batch->AddSuccess();
    } catch (const std::exception &e) {
        const QString message = messageOf(e);
        node->ResultText = message;
        node->Status = nsFailure;
        batch->AddFailure(message);
    }
    ClosePresentation();
}
