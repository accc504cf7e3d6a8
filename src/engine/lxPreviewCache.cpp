#include "engine/lxPreviewCache.h"
#include "base/lxFileName.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>
#include <QSaveFile>
#include <QStandardPaths>

#include <cerrno>
#include <csignal>
#include <unistd.h>

namespace {
constexpr char kIndex[] = "slides.txt";

// A fixed-length name of its own for every source path, whatever characters the path holds.
QString deckName(const QString &source) {
    return QString::fromLatin1(
        QCryptographicHash::hash(TlxFileName::Encode(source), QCryptographicHash::Sha1).toHex().left(24));
}

// "run-<pid>-<time>": a folder whose process no longer runs is left over from a run that did not end cleanly.
bool leftOver(const QString &name) {
    const QStringList parts = name.split(u'-');
    if (parts.size() != 3 || parts.at(0) != QLatin1String("run"))
        return false;
    bool ok = false;
    const pid_t pid = pid_t(parts.at(1).toLongLong(&ok));
    return ok && pid > 0 && pid != ::getpid() && ::kill(pid, 0) != 0 && errno == ESRCH;
}
} // namespace

TlxPreviewCache::TlxPreviewCache(const QString &root, qint64 limitBytes) : m_limit(limitBytes) {
    QString base = root;
    if (base.isEmpty())
        base = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/vorlane");
    base += QStringLiteral("/previews");
    QDir dir(base);
    for (const QString &name : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        if (leftOver(name))
            QDir(dir.filePath(name)).removeRecursively();
    const QString name = QStringLiteral("run-%1-%2").arg(::getpid()).arg(QDateTime::currentMSecsSinceEpoch());
    if (dir.mkpath(name)) {
        m_folder = dir.filePath(name);
        QFile::setPermissions(m_folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
}

TlxPreviewCache::~TlxPreviewCache() {
    if (!m_folder.isEmpty())
        QDir(m_folder).removeRecursively();
}

QString TlxPreviewCache::DeckFolder(const QString &source) const {
    if (m_folder.isEmpty())
        return QString();
    const QString folder = m_folder + u'/' + deckName(source);
    QDir().mkpath(folder);
    return folder;
}

void TlxPreviewCache::Store(const QString &source, const QList<Entry> &entries) {
    const QString folder = DeckFolder(source);
    if (folder.isEmpty())
        return;
    QByteArray index;
    qint64 bytes = 0;
    for (const Entry &e : entries) {
        index += QByteArray::number(e.slide) + '\t' + QFileInfo(e.picture).fileName().toUtf8() + '\t' +
                 e.output.toUtf8().replace('\n', ' ') + '\n';
        bytes += QFileInfo(e.picture).size();
    }
    QSaveFile file(folder + u'/' + QLatin1String(kIndex));
    if (!file.open(QIODevice::WriteOnly) || file.write(index) != index.size() || !file.commit())
        return;
    QMutexLocker lock(&m_lock);
    m_stored.push_back({folder, bytes});
    m_bytes += bytes;
    // The decks stored first go until the rest fits; the one just stored stays.
    while (m_bytes > m_limit && m_stored.size() > 1) {
        const Stored oldest = m_stored.front();
        m_stored.pop_front();
        m_bytes -= oldest.bytes;
        if (oldest.folder != folder)
            QDir(oldest.folder).removeRecursively();
    }
}

QList<TlxPreviewCache::Entry> TlxPreviewCache::Entries(const QString &source) const {
    QList<Entry> entries;
    if (m_folder.isEmpty())
        return entries;
    const QString folder = m_folder + u'/' + deckName(source);
    QFile file(folder + u'/' + QLatin1String(kIndex));
    if (!file.open(QIODevice::ReadOnly))
        return entries;
    for (const QByteArray &line : file.readAll().split('\n')) {
        const QList<QByteArray> parts = line.split('\t');
        if (parts.size() != 3)
            continue;
        Entry e;
        e.slide = parts.at(0).toInt();
        e.picture = parts.at(1).isEmpty() ? QString() : folder + u'/' + QString::fromUtf8(parts.at(1));
        e.output = QString::fromUtf8(parts.at(2));
        entries << e;
    }
    return entries;
}

qint64 TlxPreviewCache::Bytes() const {
    QMutexLocker lock(&m_lock);
    return m_bytes;
}
