#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace TestSupport {

QString corpusDir() {
    return QDir::cleanPath(QStringLiteral(VORLANE_CORPUS_DIR));
}

QByteArray readAll(const QString &path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

bool writeAll(const QString &path, const QByteArray &data) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size();
}

} // namespace TestSupport
