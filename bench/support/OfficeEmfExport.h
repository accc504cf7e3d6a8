#pragma once

#include <QString>

namespace office {
class OfficeSession;
}

// The office's own EMF export of each slide of an open deck, as it writes them (its own shapes, without the objects
// of the master page), pictures first limited to imageResolution: what the converter's EMF is compared with. Slide
// k goes where the converter puts it (target, "-k" before the extension). False with the reason in error when the
// office wrote a slide that is no whole EMF, or none.
bool WriteOfficeEmf(office::OfficeSession &session, int doc, const QString &target, int imageResolution,
                    QString *error);
