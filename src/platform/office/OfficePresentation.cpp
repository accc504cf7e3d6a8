#include "platform/office/OfficePresentation.h"

#include "base/lxError.h"
#include "base/lxOutputOptions.h"
#include "platform/office/OfficeErrors.h"
#include "platform/office/OfficeSession.h"

using namespace automation;

namespace office {

namespace {
TlxOutputOptions outputOptions(int code, const Variant &text) {
    TlxOutputOptions options;
    try {
        if (!text.isEmpty())
            options = TlxOutputOptions::FromText(text.toString());
    } catch (const ElxError &e) {
        throw Error(Failure::Other, e.Message());
    }
    if (!TlxOutputOptions::FromSaveAsCode(code, &options.format))
        throw Error(Failure::BadFormat, QString::number(code));
    return options;
}
} // namespace

Variant OfficePresentation::GetProperty(const QString &name, const VariantList &args) {
    CheckArgs(args, 0, 0);
    if (IsMember(name, QLatin1String("FullName")))
        return m_session->SourceOf(m_doc);
    if (IsMember(name, QLatin1String("SlideCount")))
        return m_session->SlideCount(m_doc);
    UnknownMember(name);
}

void OfficePresentation::PutProperty(const QString &name, const Variant &) {
    UnknownMember(name);
}

Variant OfficePresentation::CallMethod(const QString &name, const VariantList &args) {
    if (IsMember(name, QLatin1String("SaveAs"))) {
        // SaveAs(FileName, FileFormat[, EmbedTrueTypeFonts[, Options]]): the options are TlxOutputOptions' text
        // (slides, picture resolution, PNG width), the defaults without it; without a format there is nothing we
        // can write.
        CheckArgs(args, 1, 4);
        if (args.size() < 2)
            throw Error(Failure::BadFormat, QStringLiteral("(none)"));
        m_session->SaveAs(m_doc, args.at(0).toString(), outputOptions(args.at(1).toInt(), args.value(3)));
        return Variant();
    }
    if (IsMember(name, QLatin1String("ExportPng"))) {
        // ExportPng(Slide, FileName, Width): the slide as the office draws it, a PNG of that width.
        CheckArgs(args, 3, 3);
        m_session->ExportPng(m_doc, args.at(0).toInt(), args.at(1).toString(), args.at(2).toInt());
        return Variant();
    }
    if (IsMember(name, QLatin1String("Close"))) {
        CheckArgs(args, 0, 0);
        m_session->Close(m_doc);
        return Variant();
    }
    UnknownMember(name);
}

} // namespace office
