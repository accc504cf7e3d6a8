#include "ui/lxPreviewPane.h"

#include "base/IShell.h"
#include "base/lxFileName.h"
#include "engine/lxNode.h"

#include <QApplication>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QThreadPool>
#include <QVBoxLayout>

namespace {
// Shown smaller than they are made, so that a narrow pane still holds two slides side by side.
constexpr int kIconWidth = TlxPreviewCache::kWidth * 2 / 3;
constexpr int kIconHeight = kIconWidth * 3 / 4;
constexpr int kOutputRole = Qt::UserRole + 1;

// A blank card of the icon's size, shown until the picture is read (and for outputs nothing can draw here).
QPixmap blank(const QString &text) {
    QPixmap pixmap(kIconWidth, kIconHeight);
    pixmap.fill(QColor(0xee, 0xee, 0xee));
    QPainter painter(&pixmap);
    painter.setPen(QColor(0x88, 0x88, 0x88));
    painter.drawRect(0, 0, kIconWidth - 1, kIconHeight - 1);
    painter.drawText(pixmap.rect(), Qt::AlignCenter, text);
    return pixmap;
}
} // namespace

TlxPreviewPane::TlxPreviewPane(QWidget *parent) : QWidget(parent) {
    setObjectName(QStringLiteral("pPreview"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    m_message = new QLabel(this);
    m_message->setObjectName(QStringLiteral("lPreviewMessage"));
    m_message->setWordWrap(true);
    m_message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_strip = new QListWidget(this);
    m_strip->setObjectName(QStringLiteral("lPreview"));
    m_strip->setViewMode(QListView::IconMode);
    m_strip->setIconSize(QSize(kIconWidth, kIconHeight));
    m_strip->setResizeMode(QListView::Adjust);
    m_strip->setMovement(QListView::Static);
    m_strip->setGridSize(QSize(kIconWidth + 16, kIconHeight + 8 + m_strip->fontMetrics().height() * 3 / 2));
    m_strip->setWordWrap(false);
    m_strip->setUniformItemSizes(true);
    m_strip->setSelectionMode(QAbstractItemView::SingleSelection);
    m_strip->setToolTip(tr("Double-click a slide to open it"));
    layout->addWidget(m_message);
    layout->addWidget(m_strip, 1);
    connect(m_strip, &QListWidget::itemDoubleClicked, this, &TlxPreviewPane::openItem);
    Clear();
}

void TlxPreviewPane::Clear() {
    ++m_generation;
    m_loading = 0;
    m_strip->clear();
    m_strip->hide();
    m_message->setText(tr("Select a converted file to see its slides."));
}

void TlxPreviewPane::ShowRow(int status, const QString &source, const QString &result,
                             const QList<TlxPreviewCache::Entry> &entries) {
    Clear();
    const QString name = TlxFileName::Display(QFileInfo(source).fileName());
    if (status == nsFailure) {
        m_message->setText(tr("%1 was not converted:\n%2").arg(name, TlxFileName::Display(result)));
        return;
    }
    if (status != nsSuccess) {
        m_message->setText(tr("%1 is not converted yet.").arg(name));
        return;
    }
    if (entries.isEmpty()) {
        m_message->setText(result.isEmpty() ? tr("%1 was skipped: its output exists.").arg(name)
                                            : tr("%1 was converted to %2. No pictures of its slides were made in "
                                                 "this window.")
                                                  .arg(name, TlxFileName::Display(result)));
        return;
    }
    const bool converted = entries.first().slide > 0;
    m_message->setText(converted ? tr("%1: %n slide(s)", nullptr, int(entries.size())).arg(name)
                                 : tr("%1 was skipped; it has these outputs:").arg(name));
    const quint64 generation = m_generation;
    QPointer<TlxPreviewPane> self(this);
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const TlxPreviewCache::Entry &e = entries.at(i);
        const QString label =
            e.slide > 0 ? tr("Slide %1").arg(e.slide) : TlxFileName::Display(QFileInfo(e.output).fileName());
        auto *item = new QListWidgetItem(QIcon(blank(QString())), label, m_strip);
        item->setData(kOutputRole, e.output);
        item->setToolTip(TlxFileName::Display(e.output));
        // A skipped deck's own outputs are drawn where this program can draw them (PNG, SVG).
        const QString picture = !e.picture.isEmpty() ? e.picture : e.output;
        if (e.picture.isEmpty() && QImageReader::imageFormat(picture).isEmpty()) {
            item->setIcon(QIcon(blank(QFileInfo(picture).suffix().toUpper())));
            continue;
        }
        ++m_loading;
        const int index = int(i);
        QThreadPool::globalInstance()->start([self, generation, index, picture] {
            QImageReader reader(picture);
            const QSize size = reader.size();
            if (size.isValid())
                reader.setScaledSize(size.scaled(kIconWidth, kIconHeight, Qt::KeepAspectRatio));
            const QImage image = reader.read();
            // Back on the window's thread; a pane that has gone or shows another row by then takes nothing.
            QMetaObject::invokeMethod(
                qApp,
                [self, generation, index, image] {
                    if (self)
                        self->pictureRead(generation, index, image);
                },
                Qt::QueuedConnection);
        });
    }
    m_strip->show();
    if (m_loading == 0)
        emit PicturesShown();
}

void TlxPreviewPane::pictureRead(quint64 generation, int index, const QImage &image) {
    if (generation != m_generation)
        return;
    if (QListWidgetItem *item = m_strip->item(index))
        item->setIcon(image.isNull() ? QIcon(blank(tr("no picture"))) : QIcon(QPixmap::fromImage(image)));
    if (--m_loading == 0)
        emit PicturesShown();
}

void TlxPreviewPane::openItem(QListWidgetItem *item) {
    const QString output = item ? item->data(kOutputRole).toString() : QString();
    if (!output.isEmpty())
        IShell::current()->Open(output);
}
