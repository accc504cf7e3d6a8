#include "ui/lxResultModel.h"

#include "base/lxFileName.h"
#include "ui/lxImageList.h"

#include <QMutexLocker>

#include <limits>

TlxResultModel::TlxResultModel(QObject *parent) : QAbstractTableModel(parent) {
    for (int i = 0; i < 3; ++i)
        m_icons[i] = TlxImageList::Icon(i);
}

void TlxResultModel::Post(Update update) {
    QMutexLocker lock(&m_lock);
    m_pending.push_back(std::move(update));
    if (m_drainQueued)
        return;
    m_drainQueued = true;
    // One queued drain for however many posts arrive before the GUI thread gets to it.
    QMetaObject::invokeMethod(this, &TlxResultModel::drainSlice, Qt::QueuedConnection);
}

void TlxResultModel::setStatus(Row &row, int status) {
    m_done -= row.status == 1;
    m_failed -= row.status == 2;
    row.status = qint8(status);
    m_done += row.status == 1;
    m_failed += row.status == 2;
}

void TlxResultModel::Flush() {
    apply(std::numeric_limits<qsizetype>::max());
}

void TlxResultModel::drainSlice() {
    // About twenty milliseconds of work: the rest waits for the next turn of the event loop.
    apply(4000);
}

void TlxResultModel::apply(qsizetype limit) {
    QVector<Update> pending;
    {
        QMutexLocker lock(&m_lock);
        if (m_pending.size() <= limit) {
            pending.swap(m_pending);
            m_drainQueued = false;
        } else {
            pending = m_pending.mid(0, limit);
            m_pending.remove(0, limit);
            // Still queued: the next slice comes after whatever else the window has to do.
            QMetaObject::invokeMethod(this, &TlxResultModel::drainSlice, Qt::QueuedConnection);
        }
    }
    if (pending.isEmpty())
        return;

    // New rows first, in one insertion; then one change notice for the rows that already existed.
    int needed = int(m_rows.size());
    for (const Update &u : std::as_const(pending)) {
        if (u.generation == m_generation)
            needed = qMax(needed, u.index + 1);
    }
    const int oldCount = int(m_rows.size());
    if (needed > oldCount) {
        beginInsertRows(QModelIndex(), oldCount, needed - 1);
        m_rows.resize(needed);
        endInsertRows();
    }
    int firstChanged = INT_MAX, lastChanged = -1;
    for (Update &u : pending) {
        if (u.generation != m_generation || u.index < 0)
            continue;
        Row &row = m_rows[u.index];
        if (u.converted) {
            row.file = std::move(u.file);
            row.result = std::move(u.result);
            row.hasResult = u.hasResult;
            setStatus(row, u.status);
        } else if (row.file.isEmpty()) {
            // Found by the search: a row that a finished node already filled keeps its state.
            row.file = std::move(u.file);
        }
        if (u.index < oldCount) {
            firstChanged = qMin(firstChanged, u.index);
            lastChanged = qMax(lastChanged, u.index);
        }
    }
    if (lastChanged >= 0)
        Q_EMIT dataChanged(index(firstChanged, 0), index(lastChanged, ColumnCount - 1));
    Q_EMIT RowsUpdated();
}

quint64 TlxResultModel::Clear() {
    {
        QMutexLocker lock(&m_lock);
        m_pending.clear();
    }
    beginResetModel();
    m_rows.clear();
    m_rows.squeeze();
    m_done = m_failed = 0;
    ++m_generation;
    endResetModel();
    Q_EMIT RowsUpdated();
    return m_generation;
}

int TlxResultModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

int TlxResultModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TlxResultModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const Row &row = m_rows.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        // A name's bytes that are not UTF-8 would show as boxes; escaped they can be read and told apart.
        if (index.column() == ColFile)
            return TlxFileName::Display(row.file);
        if (index.column() == ColResult && row.hasResult)
            return TlxFileName::Display(row.result);
        return {};
    case Qt::DecorationRole:
        if (index.column() == ColStatus)
            return m_icons[row.status >= 0 && row.status < 3 ? row.status : 0];
        return {};
    default:
        return {};
    }
}

QVariant TlxResultModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case ColStatus:
        return QStringLiteral("@");
    case ColFile:
        return QStringLiteral("File Name");
    case ColResult:
        return QStringLiteral("Result");
    default:
        return {};
    }
}
