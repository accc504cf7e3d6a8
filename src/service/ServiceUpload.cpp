#include "service/ServiceUpload.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace {
constexpr qsizetype kMostFieldBytes = 1024;
const QStringList kFields = {"format", "slides", "imageResolution", "pngWidth"};
} // namespace

ServiceUpload::ServiceUpload(qint64 maxBytes)
    : m_maxBytes(maxBytes), m_dir(QDir::tempPath() + "/vorlane-request-XXXXXX") {
    if (m_dir.isValid())
        QDir(m_dir.path()).mkpath(QStringLiteral("in"));
}

QString ServiceUpload::SafeName(const QString &filename) {
    QString base = filename.section(u'/', -1).section(u'\\', -1);
    const qsizetype dot = base.lastIndexOf(u'.');
    if (dot > 0)
        base.truncate(dot);
    QString safe;
    for (QChar c : base)
        safe += (c.isLetterOrNumber() || QStringLiteral(" -_.+()").contains(c)) ? c : QChar(u'_');
    safe = safe.trimmed();
    while (safe.startsWith(u'.'))
        safe.remove(0, 1);
    safe.truncate(100);
    return safe.isEmpty() ? QStringLiteral("deck") : safe;
}

bool ServiceUpload::IsDeckExtension(const QString &extension) {
    static const QStringList decks = {".ppt", ".pptx", ".pptm", ".pps", ".ppsx", ".pot", ".potx", ".odp"};
    return decks.contains(extension.toLower());
}

bool ServiceUpload::startFile(const QString &filename) {
    const QString base = filename.section(u'/', -1).section(u'\\', -1);
    const qsizetype dot = base.lastIndexOf(u'.');
    const QString extension = dot > 0 ? base.mid(dot).toLower() : QString();
    if (!IsDeckExtension(extension)) {
        Error = QStringLiteral("\"%1\" is not a presentation (.ppt, .pptx, .pptm, .pps, .ppsx, .pot, .potx, .odp)")
                    .arg(SafeName(filename) + extension.left(10));
        return false;
    }
    Deck deck{SafeName(filename), extension, QString()};
    const auto taken = [this](const QString &name) {
        return std::any_of(m_decks.begin(), m_decks.end(),
                           [&name](const Deck &d) { return d.name.compare(name, Qt::CaseInsensitive) == 0; });
    };
    const QString first = deck.name;
    for (int n = 2; taken(deck.name); ++n)
        deck.name = first + QStringLiteral("-%1").arg(n);
    deck.path = m_dir.path() + QStringLiteral("/in/%1%2").arg(m_decks.size() + 1).arg(extension);
    m_file = std::make_unique<QFile>(deck.path);
    if (!m_file->open(QIODevice::WriteOnly)) {
        Error = QStringLiteral("the upload cannot be stored");
        return false;
    }
    m_decks.push_back(deck);
    return true;
}

bool ServiceUpload::Field(const char *key, const char *filename, const char *data, std::uint64_t offset,
                          std::size_t size) {
    const QString name = QString::fromUtf8(key ? key : "");
    if (name == QLatin1String("files")) {
        if (offset == 0 && !startFile(QString::fromUtf8(filename ? filename : "")))
            return false;
        if (m_file && size > 0 && m_file->write(data, qint64(size)) != qint64(size)) {
            Error = QStringLiteral("the upload cannot be stored");
            return false;
        }
        return true;
    }
    if (!kFields.contains(name))
        return true; // other fields are passed over, as forms send more than a service reads
    QString &value = m_fields[name];
    value += QString::fromUtf8(data, qsizetype(size));
    if (value.size() > kMostFieldBytes) {
        Error = QStringLiteral("the field \"%1\" is too long").arg(name);
        return false;
    }
    return true;
}

bool ServiceUpload::Received(std::size_t bytes) {
    m_received += qint64(bytes);
    m_tooLarge = m_tooLarge || m_received > m_maxBytes;
    return !m_tooLarge;
}

QString ServiceUpload::Finish() {
    if (m_file)
        m_file->close();
    m_file.reset();
    if (!Error.isEmpty())
        return Error;
    if (m_decks.empty())
        return QStringLiteral("no presentation was sent (a multipart/form-data part named \"files\")");
    for (const Deck &d : m_decks)
        if (QFileInfo(d.path).size() == 0)
            return QStringLiteral("\"%1%2\" is empty").arg(d.name, d.extension);
    return QString();
}
