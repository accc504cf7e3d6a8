#pragma once

#include <QAbstractTableModel>
#include <QIcon>
#include <QMutex>
#include <QString>
#include <QVector>

// The rows of the result list: one per node of the window's batch, row i showing the node whose ListIndex is i.
//
// The search thread and the converter threads report rows through Post, from any thread. Posts are queued in
// call order and applied on the GUI thread in batches, so a hundred thousand rows arrive without freezing the
// window. Every post carries the generation of the list it was made for: after Clear, late posts from an old
// batch's threads are dropped instead of landing in the new list.
class TlxResultModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { ColStatus, ColFile, ColResult, ColumnCount };

    struct Update {
        quint64 generation = 0;
        int index = 0;  // the node's ListIndex
        QString file;   // the node's source file
        int status = 0; // the image: 0 pending, 1 done, 2 failed
        QString result; // shown when hasResult
        bool hasResult = false;
        bool converted = false; // a finished node (else: found by the search)
    };

    explicit TlxResultModel(QObject *parent = nullptr);

    // Thread-safe: queues an update for the GUI thread.
    void Post(Update update);
    // GUI thread: applies every queued update now.
    void Flush();
    // GUI thread: removes every row and starts a new generation; returns it.
    quint64 Clear();
    quint64 Generation() const { return m_generation; }

    int RowStatus(int row) const { return m_rows.at(row).status; }
    QString RowFile(int row) const { return m_rows.at(row).file; }
    QString RowResult(int row) const { return m_rows.at(row).result; }
    bool RowHasResult(int row) const { return m_rows.at(row).hasResult; }
    int Done() const { return m_done; }
    int Failed() const { return m_failed; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

Q_SIGNALS:
    // Rows were added or changed by a flush.
    void RowsUpdated();

private:
    // Applies at most `limit` queued updates; the queued drain uses small slices so the window keeps answering.
    void apply(qsizetype limit);
    void drainSlice();

    struct Row {
        QString file;
        QString result;
        qint8 status = 0;
        bool hasResult = false;
    };
    void setStatus(Row &row, int status);

    QVector<Row> m_rows;
    QIcon m_icons[3]; // pending, done, failed: made once, drawn for every visible row
    quint64 m_generation = 1;
    int m_done = 0;
    int m_failed = 0;

    QMutex m_lock; // guards the fields below
    QVector<Update> m_pending;
    bool m_drainQueued = false;
};
