#pragma once

#include "automation/OleError.h"

#include <QString>

// The failures of the office server, each with its own result code and a message that names the file.
namespace office {

enum class Failure {
    Missing,
    NotAFile,
    Empty,
    Unreadable,
    NotPresentation,
    Encrypted,
    Damaged,
    NoSlides,
    OutputNotWritable,
    ExportFailed,
    BadFormat,
    NotOpen,
    Crashed,
    Timeout,
    StartFailed,
    Other,
};

// Builds the error for a failure; detail is the file (or, for Other and StartFailed, the reason).
automation::EOleError Error(Failure failure, const QString &detail, const QString &extra = QString());

} // namespace office
