#pragma once

#include <com/sun/star/drawing/XDrawPage.hpp>
#include <com/sun/star/drawing/XShapes.hpp>
#include <com/sun/star/graphic/XGraphic.hpp>
#include <com/sun/star/graphic/XGraphicProvider.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>

#include "engine/lxEmfFile.h"

#include <QHash>
#include <QList>
#include <QSize>
#include <QString>

#include <utility>
#include <vector>

namespace office {

// Gives the EMF of a slide back the pictures a newer office (24.2 on) wrote white: a picture the office draws
// through a transparency mask (page backgrounds, pictures with transparency) loses its pixels in the office's EMF
// writer, while the office still holds the picture itself. The pictures of the slide and its master (backgrounds,
// picture shapes and picture fills, also in groups) whose size matches such a drawing are fetched from the office
// and put in its place. One object serves the slides of one deck; it keeps only the pictures it fetched and put
// back.
class OfficeMaskedPictures {
public:
    explicit OfficeMaskedPictures(const css::uno::Reference<css::uno::XComponentContext> &context)
        : m_context(context) {}

    // Rewrites the EMF at path, written for slide, when it holds such drawings. Empty when done (or nothing to
    // do), else the reason the file could not be read or written.
    QString Repair(const css::uno::Reference<css::drawing::XDrawPage> &slide, const QString &path);
    int Replaced() const { return m_replaced; }

    // Whether an office of this version ("25.2") writes masked pictures white.
    static bool Needed(const QString &officeVersion);

private:
    void collect(const css::uno::Reference<css::drawing::XDrawPage> &page, const QList<QSize> &sizes,
                 QList<TlxEmfFile::Picture> *out);
    void collectShapes(const css::uno::Reference<css::drawing::XShapes> &shapes, const QList<QSize> &sizes,
                       QList<TlxEmfFile::Picture> *out);
    void take(const css::uno::Reference<css::graphic::XGraphic> &graphic, const QList<QSize> &sizes,
              QList<TlxEmfFile::Picture> *out);

    css::uno::Reference<css::uno::XComponentContext> m_context;
    css::uno::Reference<css::graphic::XGraphicProvider> m_provider;
    std::vector<std::pair<css::uno::Reference<css::uno::XInterface>, TlxEmfFile::Picture>> m_fetched;
    QHash<QByteArray, TlxEmfFile::Picture> m_byMask; // pictures put back, by their mask and size
    int m_replaced = 0;
};

} // namespace office
