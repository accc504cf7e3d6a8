#include "platform/office/OfficeErrors.h"

namespace office {

automation::EOleError Error(Failure failure, const QString &detail, const QString &extra) {
    using automation::EOleError;
    switch (failure) {
    case Failure::Missing:
        return EOleError(0x80070002u, QStringLiteral("The file does not exist: %1").arg(detail));
    case Failure::NotAFile:
        return EOleError(0x80070002u, QStringLiteral("Not a file: %1").arg(detail));
    case Failure::Empty:
        return EOleError(0x80040201u, QStringLiteral("The file is empty: %1").arg(detail));
    case Failure::Unreadable:
        return EOleError(0x80070005u, QStringLiteral("The file cannot be read: %1").arg(detail));
    case Failure::NotPresentation:
        return EOleError(0x80040202u, QStringLiteral("The file is not a presentation: %1").arg(detail));
    case Failure::Encrypted:
        return EOleError(0x80040203u,
                         QStringLiteral("The presentation is password-protected (encrypted): %1").arg(detail));
    case Failure::Damaged:
        return EOleError(0x80040204u, QStringLiteral("The presentation is damaged: %1").arg(detail));
    case Failure::NoSlides:
        return EOleError(0x80040205u, QStringLiteral("The presentation has no slides: %1").arg(detail));
    case Failure::OutputNotWritable:
        return EOleError(0x80070005u, QStringLiteral("The output file cannot be written: %1 (%2)").arg(detail, extra));
    case Failure::ExportFailed:
        return EOleError(0x80040206u, QStringLiteral("The slides could not be written: %1 (%2)").arg(detail, extra));
    case Failure::BadFormat:
        return EOleError(0x80070057u,
                         QStringLiteral("SaveAs: format code %1 is not supported, only 23 (EMF), 101 (EMZ), 102 (SVG), "
                                        "18 (PNG) and 32 (PDF)")
                             .arg(detail));
    case Failure::NotOpen:
        return EOleError(0x80040207u, QStringLiteral("The presentation is no longer open: %1").arg(detail));
    case Failure::Crashed:
        return EOleError(
            0x80010108u,
            extra.isEmpty()
                ? QStringLiteral("The office application ended unexpectedly while converting %1").arg(detail)
                : QStringLiteral("The office application ended unexpectedly (%2) while converting %1")
                      .arg(detail, extra));
    case Failure::Timeout:
        return EOleError(
            0x800705B4u,
            QStringLiteral("The conversion took longer than %2 seconds and was stopped: %1").arg(detail, extra));
    case Failure::StartFailed:
        return EOleError(0x80080005u, QStringLiteral("The office application could not be started: %1").arg(detail));
    case Failure::Other:
        break;
    }
    return EOleError(0x80004005u, extra.isEmpty() ? detail : QStringLiteral("%1: %2").arg(extra, detail));
}

} // namespace office
