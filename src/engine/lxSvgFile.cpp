#include "engine/lxSvgFile.h"

#include <QStringList>
#include <QXmlStreamAttributes>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace {

// Reads up to the root element; false when there is none or it is not svg.
bool readToRoot(QXmlStreamReader &reader) {
    while (!reader.atEnd()) {
        if (reader.readNext() == QXmlStreamReader::StartElement)
            return reader.name() == QLatin1String("svg");
    }
    return false;
}

QString rewriteReferences(QString text, const QString &prefix) {
    return text.replace(QLatin1String("url(#"), QLatin1String("url(#") + prefix);
}

// A link to another element: "href" plain or in the XLink namespace, whatever prefix the part gave that one.
bool isHref(const QXmlStreamAttribute &a) {
    return a.name() == QLatin1String("href") &&
           (a.namespaceUri().isEmpty() || a.namespaceUri() == QLatin1String("http://www.w3.org/1999/xlink"));
}

QXmlStreamAttributes prefixed(const QXmlStreamAttributes &attributes, const QString &prefix) {
    QXmlStreamAttributes out;
    for (const QXmlStreamAttribute &a : attributes) {
        const QString name = a.qualifiedName().toString();
        QString value = a.value().toString();
        if (name == QLatin1String("id"))
            value = prefix + value;
        else if (isHref(a) && value.startsWith(u'#'))
            value = u'#' + prefix + value.mid(1);
        else
            value = rewriteReferences(value, prefix);
        out.append(name, value);
    }
    return out;
}

void writeAttributes(QXmlStreamWriter &writer, const QXmlStreamAttributes &attributes) {
    for (const QXmlStreamAttribute &a : attributes)
        writer.writeAttribute(a.qualifiedName().toString(), a.value().toString());
}

// Names are copied as written (prefix and all), so the namespaces an element declares are written as written too;
// those in already stand declared as they are.
void writeNamespaces(QXmlStreamWriter &writer, const QXmlStreamReader &reader,
                     const QXmlStreamNamespaceDeclarations &already = {}) {
    for (const QXmlStreamNamespaceDeclaration &d : reader.namespaceDeclarations())
        if (!already.contains(d))
            writer.writeAttribute(d.prefix().isEmpty() ? QStringLiteral("xmlns")
                                                       : QStringLiteral("xmlns:") + d.prefix().toString(),
                                  d.namespaceUri().toString());
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

QByteArray TlxSvgFile::Compose(const QList<QByteArrayView> &parts, QString *error) {
    if (parts.isEmpty()) {
        *error = QStringLiteral("there is nothing to compose");
        return QByteArray();
    }
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QString why = Check(parts.at(i));
        if (!why.isEmpty()) {
            *error = QStringLiteral("part %1 is not a complete SVG: %2").arg(i + 1).arg(why);
            return QByteArray();
        }
    }
    if (parts.size() == 1)
        return parts.first().toByteArray();

    QByteArray out;
    QXmlStreamWriter writer(&out);
    writer.writeStartDocument();
    writer.writeDTD(QStringLiteral("<!DOCTYPE svg PUBLIC \"-//W3C//DTD SVG 1.1//EN\" "
                                   "\"http://www.w3.org/Graphics/SVG/1.1/DTD/svg11.dtd\">"));
    QXmlStreamNamespaceDeclarations outerNamespaces;
    {
        QXmlStreamReader last(QByteArray::fromRawData(parts.last().data(), parts.last().size()));
        readToRoot(last);
        writer.writeStartElement(last.qualifiedName().toString());
        writeNamespaces(writer, last);
        outerNamespaces = last.namespaceDeclarations();
        writeAttributes(writer, last.attributes());
    }
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QString prefix = QStringLiteral("layer%1-").arg(i + 1);
        QXmlStreamReader reader(QByteArray::fromRawData(parts.at(i).data(), parts.at(i).size()));
        readToRoot(reader);
        // The part's content goes into a group that keeps what its root passes down (stroke width, line joins,
        // white space); the size, view box and namespaces are the outer root's.
        writer.writeStartElement(QStringLiteral("g"));
        // The prefixes this part's root declares and the outer root does not (or binds otherwise) are declared
        // on its group, or the part's content would name namespaces nobody declared.
        writeNamespaces(writer, reader, outerNamespaces);
        QXmlStreamAttributes inherited;
        for (const QXmlStreamAttribute &a : prefixed(reader.attributes(), prefix)) {
            const QString name = a.qualifiedName().toString();
            static const QStringList own = {QStringLiteral("width"),
                                            QStringLiteral("height"),
                                            QStringLiteral("viewBox"),
                                            QStringLiteral("version"),
                                            QStringLiteral("x"),
                                            QStringLiteral("y"),
                                            QStringLiteral("preserveAspectRatio")};
            if (!own.contains(name))
                inherited.append(a);
        }
        writeAttributes(writer, inherited);
        int depth = 0;
        bool inStyle = false;
        while (!reader.atEnd()) {
            const QXmlStreamReader::TokenType token = reader.readNext();
            if (token == QXmlStreamReader::StartElement) {
                ++depth;
                writer.writeStartElement(reader.qualifiedName().toString());
                writeNamespaces(writer, reader);
                writeAttributes(writer, prefixed(reader.attributes(), prefix));
                inStyle = reader.name() == QLatin1String("style");
            } else if (token == QXmlStreamReader::EndElement) {
                if (depth-- == 0)
                    break; // the part's root ends
                writer.writeEndElement();
                inStyle = false;
            } else if (token == QXmlStreamReader::Characters) {
                const QString text =
                    inStyle ? rewriteReferences(reader.text().toString(), prefix) : reader.text().toString();
                if (reader.isCDATA())
                    writer.writeCDATA(text);
                else
                    writer.writeCharacters(text);
            } else if (token == QXmlStreamReader::EntityReference) {
                writer.writeEntityReference(reader.name().toString());
            }
        }
        writer.writeEndElement(); // g
    }
    writer.writeEndElement(); // svg
    writer.writeEndDocument();
    return out;
}
