#pragma once

#include "service/ServiceJob.h"

#include <QByteArray>
#include <QString>

// The answer to a request: a ZIP of every deck's files, named as a batch run names them after the deck
// (talk.emf, talk-2.emf, ...), with report.json beside them; or, when no deck could be converted, the reasons.
class ServiceReport {
public:
    // report.json: per deck its name, files, slides, seconds, the fonts it names that the machine lacks and what
    // drew each, equations drawn from PowerPoint's pictures, files with parts drawn as pictures, and why it
    // failed.
    static QByteArray Json(const ServiceJob &job);
    // The ZIP written at path; false when it cannot be.
    static bool WriteZip(const ServiceJob &job, const QString &path);
    // True when at least one deck was converted.
    static bool AnyConverted(const ServiceJob &job);
    // The body of a 422 answer: every deck's reason.
    static QByteArray Failures(const ServiceJob &job);
    // The name a deck's written file takes in the answer ("deck-3.emf" of talk becomes "talk-3.emf").
    static QString AnswerName(const ServiceDeck &deck, const QString &file);
};
