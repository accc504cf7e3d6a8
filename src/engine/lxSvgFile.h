#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

// SVG drawings of a slide as the converter writes them: a check that a file is one whole SVG document, and the
// composition of several drawings of the same page into one, each drawn over the ones before.
class TlxSvgFile {
public:
    // Empty when data is well-formed XML whose root element is svg; otherwise a short reason for the user.
    static QString Check(QByteArrayView data);

    // One SVG document of all parts in order, the later ones drawn over the earlier ones: the root element is
    // the last part's (its size and view box), each part's content a group of its own, and every id of a part
    // (and each reference to it) is given that part's prefix, so that no part's clip paths, gradients or
    // patterns take the place of another's. Empty, with error set, when a part is not an SVG document.
    static QByteArray Compose(const QList<QByteArrayView> &parts, QString *error);
};
