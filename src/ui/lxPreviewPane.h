#pragma once

#include "engine/lxPreviewCache.h"

#include <QList>
#include <QString>
#include <QWidget>

class QLabel;
class QListWidget;
class QListWidgetItem;

// The slides of the row selected in the result list: a strip of small pictures, each with its slide number, of
// a converted deck; the message of a failed one; the outputs a skipped one already has. The pictures are read
// on a pool thread, so a row with many slides never holds up the window. Double-clicking a slide opens its
// output with the desktop's default program.
class TlxPreviewPane : public QWidget {
    Q_OBJECT

public:
    explicit TlxPreviewPane(QWidget *parent = nullptr);

    // Shows a row: its status (a TlxNodeStatus), source, result text and what the preview cache holds for it.
    void ShowRow(int status, const QString &source, const QString &result,
                 const QList<TlxPreviewCache::Entry> &entries);
    void Clear();

    QLabel *Message() const { return m_message; }
    QListWidget *Strip() const { return m_strip; }
    // Pictures asked for and not yet shown.
    int Loading() const { return m_loading; }

signals:
    // Every picture of the row shown last is in the strip.
    void PicturesShown();

private:
    void openItem(QListWidgetItem *item);
    void pictureRead(quint64 generation, int index, const QImage &image);

    QLabel *m_message;
    QListWidget *m_strip;
    quint64 m_generation = 0;
    int m_loading = 0;
};
