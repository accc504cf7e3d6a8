#pragma once

#include "render/EmfRecordWriter.h"

#include <QByteArray>
#include <QList>
#include <QPointF>
#include <QRgb>
#include <QString>

#include <vector>

// The EMF+ records of a run of text drawn with an alpha: a font object and the characters at their places, in a
// colour with its alpha, for readers of EMF+ (Word, PowerPoint, the office), which blend it with whatever lies
// under it as PowerPoint does. Plain GDI has no alpha for text; its readers get a colour blended beforehand.
class EmfPlusText {
public:
    // The records (each still to be put in a comment) of text at origin (baseline, left) with advances in points,
    // in argb, cut to clip. Only for an upright baseline: the characters' places are given along x.
    static QList<QByteArray> Records(const EmfRecordWriter::Font &font, QRgb argb, QPointF origin, const QString &text,
                                     const std::vector<double> &advances,
                                     const std::vector<EmfRecordWriter::ClipPath> &clip);

private:
    static QByteArray fontObject(const EmfRecordWriter::Font &font);
    static QByteArray drawString(QRgb argb, QPointF origin, const QString &text, const std::vector<double> &advances);
};
