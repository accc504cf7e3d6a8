#pragma once

#include "deck/DeckAutofit.h"

#include <com/sun/star/drawing/XDrawPages.hpp>

#include <QList>

namespace office {

// Shrink-to-fit text as PowerPoint drew it, where the office can draw it so without losing any of it. The text of
// the office's shape of the same name is drawn at PowerPoint's scale (at full size where the deck saved none, as
// PowerPoint drew it) wherever all of it stays on the slide at that scale, even where it runs a little past its
// shape in the machine's fonts: PowerPoint's size and line breaks are what the reader expects, and nothing is lost.
// Where the text would leave the slide (a title anchored at its bottom, near the top, grows upwards off it), the
// office's own fitting stays: smaller than PowerPoint's, but every line shown.
class OfficeAutofit {
public:
    // Puts each of the deck's shrink-to-fit texts on the office's shape of the same name and ordinal: the deck's
    // scale where the text stays on the slide at it, the office's own fitting otherwise. Returns the number of
    // shapes drawn at a scale the deck saved.
    static int Apply(const css::uno::Reference<css::drawing::XDrawPages> &pages,
                     const QList<QList<deck::DeckAutofit::Fit>> &fits);
};

} // namespace office
