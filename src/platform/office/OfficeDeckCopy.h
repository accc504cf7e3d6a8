#pragma once

#include <QByteArray>
#include <QString>

namespace office {

// A private copy of a deck for the office to open where the deck as it is would be drawn wrongly and a copy can
// mend it; the deck on disk is never changed. Today: SVG pictures. PowerPoint keeps each SVG picture with a PNG
// of it beside it, for readers that cannot draw the SVG; the office draws many of them as an empty frame, so the
// copy points the office at the PNG.
class OfficeDeckCopy {
public:
    // The mended copy written into dir under the deck's own file name, or empty when the deck needs none (or is
    // not a package that can be read).
    static QString Make(const QString &deck, const QString &dir);
    // The part's XML without its references to SVG pictures: each picture falls back on the PNG beside it.
    static QByteArray WithoutSvg(const QByteArray &xml);
};

} // namespace office
