#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// SVG drawings of a slide as the converter writes them: a check that a file is one whole SVG document.
class TlxSvgFile {
public:
    // Empty when data is well-formed XML whose root element is svg; otherwise a short reason for the user.
    static QString Check(QByteArrayView data);
};
