#pragma once

#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>

#include <QByteArray>
#include <QList>
#include <QString>

namespace office {

// The office's PDF of a deck: the one export every output is made from (a PDF output is it; every per-slide format
// is drawn from its pages).
class OfficePdfExport {
public:
    // The deck (slides: only these; hidden: with hidden slides) as a PDF at path, pictures at most resolution
    // pixels an inch (0: as stored). Throws the office's exception when it wrote none.
    static void Store(const css::uno::Reference<css::uno::XComponentContext> &context,
                      const css::uno::Reference<css::lang::XComponent> &component, const QString &path, int resolution,
                      const QList<int> &slides, bool hidden);
    // The chosen slides, hidden ones among them, as one PDF read whole through a file in the temporary folder;
    // empty with the reason in why when the office wrote no complete PDF.
    static QByteArray Pages(const css::uno::Reference<css::uno::XComponentContext> &context,
                            const css::uno::Reference<css::lang::XComponent> &component, const QList<int> &slides,
                            QString *why);
    // The chosen slides as the office's page ranges: "1-3,5,7-9".
    static QString PageRange(const QList<int> &slides);
};

} // namespace office
