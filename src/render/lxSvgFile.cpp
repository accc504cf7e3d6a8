#include "render/lxSvgFile.h"

#include <QXmlStreamReader>

namespace {

// Reads up to the root element; false when there is none or it is not svg.
bool readToRoot(QXmlStreamReader &reader) {
    while (!reader.atEnd()) {
        if (reader.readNext() == QXmlStreamReader::StartElement)
            return reader.name() == QLatin1String("svg");
    }
    return false;
}

} // namespace

QString TlxSvgFile::Check(QByteArrayView data) {
    QXmlStreamReader reader(QByteArray::fromRawData(data.data(), data.size()));
    if (!readToRoot(reader)) {
        if (reader.hasError())
            return QStringLiteral("it is not well-formed XML (%1)").arg(reader.errorString());
        return QStringLiteral("its root element is not svg");
    }
    while (!reader.atEnd())
        reader.readNext();
    if (reader.hasError())
        return QStringLiteral("it is not well-formed XML at line %1 (%2)")
            .arg(reader.lineNumber())
            .arg(reader.errorString());
    return QString();
}
