#include "info/lxInfo.h"

#include "base/IShell.h"
#include "base/lxError.h"
#include "base/lxFileUtils.h"
#include "project/lxApp.h"
#include "project/lxProject.h"

#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>
#include <QObject>
#include <QtNumeric>

#include <atomic>
#include <limits>

TlxInfo *lxInfo = nullptr;

// Reserved example domain until the product site exists: one place to change.
const QString TlxInfo::HomeUrl = QStringLiteral("http://www.quillon.example");
const QString TlxInfo::SupportAddress = QStringLiteral("support@quillon.example");

namespace {
std::atomic<TlxInfo *> g_handler{nullptr};

QString exePath() {
    return lxApp ? lxApp->ExePath : QString();
}

// The path with the extension of its file name replaced (or added); a dot in a folder name is no extension.
QString changeFileExt(const QString &path, const QString &ext) {
    const qsizetype slash = path.lastIndexOf(u'/');
    const qsizetype dot = path.lastIndexOf(u'.');
    return (dot > slash ? path.left(dot) : path) + ext;
}

QString entryName(const QString &line) {
    const qsizetype eq = line.indexOf(u'=');
    return eq < 0 ? QString() : line.left(eq);
}

QString entryValue(const QString &line) {
    return line.mid(line.indexOf(u'=') + 1);
}

// Text read as raw 16-bit units must be well-formed UTF-16 without NULs; anything else is not our file.
bool isPlausibleText(const QString &text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isNull())
            return false;
        if (c.isHighSurrogate()) {
            if (i + 1 >= text.size() || !text.at(i + 1).isLowSurrogate())
                return false;
            ++i;
        } else if (c.isLowSurrogate()) {
            return false;
        }
    }
    return true;
}
} // namespace

TlxInfo::TlxInfo() {
    g_handler.store(this);
    const QString exe = exePath();
    if (!exe.isEmpty()) {
        QString folder = QFileInfo(exe).absolutePath();
        while (folder.size() > 1 && folder.endsWith(u'/'))
            folder.chop(1);
        InstallId = TlxFileUtils::GetFileDate(folder, true, true);
    }
    LoadStats();
    UpdateStat(QStringLiteral("R"), 0, 1);
}

TlxInfo::~TlxInfo() {
    TlxInfo *self = this;
    g_handler.compare_exchange_strong(self, nullptr);
    QMutexLocker lock(&m_lock);
    saveLocked();
}

QStringList TlxInfo::Stats() const {
    QMutexLocker lock(&m_lock);
    return m_stats;
}

QString TlxInfo::StatValue(const QString &key) const {
    QMutexLocker lock(&m_lock);
    const qsizetype i = indexOfKey(key);
    return i < 0 ? QString() : entryValue(m_stats.at(i));
}

qsizetype TlxInfo::indexOfKey(const QString &key) const {
    for (qsizetype i = 0; i < m_stats.size(); ++i) {
        const QString &line = m_stats.at(i);
        const qsizetype eq = line.indexOf(u'=');
        if (eq >= 0 && QStringView(line).left(eq).compare(key, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

void TlxInfo::UpdateStat(const QString &key, qint64 newValue, qint64 delta) {
    QMutexLocker lock(&m_lock);
    const qsizetype i = indexOfKey(key);
    const QString current = i < 0 ? QString() : entryValue(m_stats.at(i));
    qint64 value = newValue;
    if (newValue <= 0) {
        bool ok = false;
        const qint64 old = current.toLongLong(&ok, 10);
        // A counter at the end of its range stays there instead of wrapping around to a negative count.
        if (qAddOverflow(ok ? old : 0, delta, &value))
            value = delta > 0 ? std::numeric_limits<qint64>::max() : std::numeric_limits<qint64>::min();
    }
    const QString text = QString::number(value);
    if (text == current && i >= 0)
        return;
    if (i < 0)
        m_stats << key + u'=' + text;
    else
        m_stats[i] = key + u'=' + text;
    // A folder or file that cannot be written keeps the counters in memory; a run must never stop for them.
    saveLocked();
}

bool TlxInfo::SaveStats() {
    QMutexLocker lock(&m_lock);
    return saveLocked();
}

bool TlxInfo::saveLocked() {
    const QString name = StatsFileName();
    if (name.isEmpty())
        return false;
    QString text;
    for (const QString &line : std::as_const(m_stats))
        text += line + QStringLiteral("\r\n");
    try {
        QFile file(name);
        if (file.exists() && !(file.permissions() & QFileDevice::WriteOwner))
            file.setPermissions(file.permissions() | QFileDevice::WriteOwner | QFileDevice::WriteUser);
        TlxFileUtils::WriteText(name, text, 2, false);
        return true;
    } catch (...) {
        return false;
    }
}

void TlxInfo::LoadStats() {
    QMutexLocker lock(&m_lock);
    m_stats.clear();
    const QString name = StatsFileName();
    const QFileInfo info(name);
    if (!name.isEmpty() && info.isFile() && info.size() % 2 == 0) {
        try {
            const QString text = TlxFileUtils::ReadText(name, 2);
            if (isPlausibleText(text))
                m_stats = TlxFileUtils::SplitLines(text);
        } catch (...) {
            m_stats.clear();
        }
    }
    // A store without a start count is not trusted.
    const qsizetype r = indexOfKey(QStringLiteral("R"));
    if (r < 0 || entryValue(m_stats.at(r)).isEmpty())
        m_stats.clear();
    const qsizetype v = indexOfKey(QStringLiteral("v"));
    if (v < 0)
        m_stats << QStringLiteral("v=2");
    else
        m_stats[v] = QStringLiteral("v=2");
}

QString TlxInfo::StatsFileName() const {
    const QString exe = exePath();
    return exe.isEmpty() ? QString() : changeFileExt(exe, QStringLiteral(".ext"));
}

void TlxInfo::AddQueryParam(QString &query, const QString &name, const QString &value) {
    if (value.isEmpty())
        return;
    if (!query.isEmpty())
        query += u'&';
    query += name + u'=' + QString(value).remove(u'"');
}

QString TlxInfo::StatsText() const {
    QMutexLocker lock(&m_lock);
    return statsTextLocked();
}

QString TlxInfo::statsTextLocked() const {
    QString text;
    for (const QString &line : m_stats) {
        const QString name = entryName(line);
        if (name.isEmpty() || name.at(0) < u'A' || name.at(0) > u'Z')
            continue;
        text += name.at(0).toLower() + entryValue(line);
    }
    return text;
}

QString TlxInfo::LinkTarget(const QString &page, const QString &action, const QString &extra) const {
    const QString title = lxProject ? lxProject->Title : QString();
    const QString version = lxProject ? lxProject->Version : QString();
    const QString shortName = lxProject ? lxProject->ShortName : QString();

    if (page == QLatin1String("supports")) {
        QString product = title;
        const qsizetype amp = product.indexOf(u'&');
        if (amp >= 0)
            product.replace(amp, 1, QStringLiteral("And"));
        return QStringLiteral("mailto:") + SupportAddress +
               QStringLiteral("?subject=Support required for %1 %2 - %3").arg(product, version).arg(InstallId);
    }
    if (page == QLatin1String("h")) {
        const QString chm = changeFileExt(exePath(), QStringLiteral(".chm"));
        return QFileInfo::exists(chm) ? chm : changeFileExt(exePath(), QStringLiteral(".pdf"));
    }

    QString url = HomeUrl;
    if (!page.isEmpty())
        url += QStringLiteral("/en/") + shortName + u'/' + page + QStringLiteral(".htm");
    else if (!action.isEmpty())
        url += QStringLiteral("/net/");
    QString query;
    AddQueryParam(query, QStringLiteral("a"), action);
    AddQueryParam(query, QStringLiteral("p"), shortName);
    AddQueryParam(query, QStringLiteral("v"), version);
    AddQueryParam(query, QStringLiteral("c"), StatsText());
    AddQueryParam(query, QStringLiteral("i"), QString::number(InstallId));
    if (!extra.isEmpty())
        query += u'&' + extra;
    return url + u'?' + query;
}

void TlxInfo::OpenLink(const QString &page, const QString &action, const QString &extra) {
    IShell::current()->Open(LinkTarget(page, action, extra));
}

void TlxInfo::HandleException(const QString &message) {
    try {
        UpdateStat(QStringLiteral("E"), 0, 1);
    } catch (...) {
    }
    OpenLink(QString(), QStringLiteral("err&e=") + message, QString());
}

void TlxInfo::HandleException(QObject *, const std::exception &error) {
    if (const auto *own = dynamic_cast<const ElxError *>(&error))
        HandleException(own->Message());
    else
        HandleException(QString::fromUtf8(error.what()));
}

bool TlxInfo::DispatchUnhandled(const QString &message) {
    TlxInfo *info = g_handler.load();
    if (!info)
        return false;
    info->HandleException(message);
    return true;
}
