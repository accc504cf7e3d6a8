#pragma once

#include <QByteArray>
#include <QString>

// Small helpers shared by the tests.
namespace TestSupport {

// The folder of real presentations used by integration tests.
QString corpusDir();

// Reads a whole file as bytes; empty when it cannot be read.
QByteArray readAll(const QString &path);

// Writes bytes to a file, creating its folder; returns false on failure.
bool writeAll(const QString &path, const QByteArray &data);

} // namespace TestSupport
