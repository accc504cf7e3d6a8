#include "TestSupport.h"

#include "engine/lxFileName.h"
#include "engine/lxFileUtils.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <filesystem>

namespace TestSupport {

QString corpusDir() {
    return QDir::cleanPath(qEnvironmentVariable("VORLANE_CORPUS_DIR", QStringLiteral(VORLANE_CORPUS_DIR)));
}

QString corpusProblem() {
    const QString dir = corpusDir();
    const QString manifest = dir + QStringLiteral("/MANIFEST.tsv");
    const QStringList lines = QString::fromUtf8(readAll(manifest)).split(u'\n', Qt::SkipEmptyParts);
    if (lines.size() < 2)
        return QStringLiteral("test data not found: %1 is missing, unreadable or lists no decks").arg(manifest);
    for (const QString &line : lines.mid(1)) {
        const QString deck = dir + u'/' + line.section(u'\t', 0, 0);
        if (!QFileInfo(deck).isFile())
            return QStringLiteral("test data not found: %1 (listed in %2)").arg(deck, manifest);
    }
    return {};
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
    // Through the name's bytes: tests make files whose names are not UTF-8 too.
    TlxFileName::MakePath(TlxFileUtils::FolderPart(TlxFileName::Absolute(path)));
    QFile f;
    return TlxFileName::Open(f, path, QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size();
}

void removeAll(const QString &path) {
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(TlxFileName::Encode(path).toStdString()), ignored);
}

} // namespace TestSupport
