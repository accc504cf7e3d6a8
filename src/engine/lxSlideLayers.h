#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The layers of one slide drawing, from the bottom up, each checked as it comes in and composed at the end. A
// layer that is missing or not whole is refused with the reason, so a slide is either drawn whole or not at all:
// never composed with a layer left out.
class TlxSlideLayers {
public:
    enum class Drawing { Emf, Svg };
    explicit TlxSlideLayers(Drawing drawing) : m_drawing(drawing) {}

    // Empty when data is a whole drawing of the kind; otherwise why not, naming the layer (what).
    static QString Check(Drawing drawing, const QByteArray &data, const QString &what);

    // Takes the next layer up. Returns the reason when it is refused; nothing is kept then.
    QString Add(const QByteArray &data, const QString &what);
    qsizetype Count() const { return m_layers.size(); }

    // One drawing of all layers taken; empty with error set when there are none or they do not compose.
    QByteArray Compose(QString *error) const;

private:
    Drawing m_drawing;
    QList<QByteArray> m_layers;
};
