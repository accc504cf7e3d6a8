#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace TestSupport {

QString corpusDir() {
    return QDir::cleanPath(QStringLiteral(VORLANE_CORPUS_DIR));
}

QList<CorpusDeck> corpusDecks(const QString &expect) {
    QList<CorpusDeck> decks;
    const QString dir = corpusDir();
    const QStringList lines = QString::fromUtf8(readAll(dir + QStringLiteral("/MANIFEST.tsv"))).split(u'\n');
    for (const QString &line : lines) {
        const QStringList f = line.split(u'\t');
        if (f.size() > 7 && f.at(7) == expect)
            decks.append({dir + u'/' + f.at(0), f.at(4).toInt()});
    }
    return decks;
}

QString slidePath(const QString &path, int k) {
    if (k == 1)
        return path;
    const qsizetype dot = path.lastIndexOf(u'.');
    return path.left(dot) + QStringLiteral("-%1").arg(k) + path.mid(dot);
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
