#pragma once

#include <QByteArray>
#include <QString>

// A second reader of the EMF files this program writes, owing nothing to the writer: libuemf, the EMF and EMF+
// library Inkscape reads with. Every record passes its safety check (sizes and offsets inside the record,
// counts that fit); the EMF+ records inside comments are read by its record and object readers (header, pictures
// compressed as PNG or JPEG, their attributes, clip paths, objects in continued parts) and the objects drawn must
// have been defined. Empty when it finds nothing; else the first fault, with the record's number.
QString uemfProblems(const QByteArray &emf);

// What either reader finds wrong in an EMF: this program's own check of a whole file, then libuemf's reading.
QString emfProblems(const QByteArray &emf);
