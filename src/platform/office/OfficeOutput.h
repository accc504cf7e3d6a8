#pragma once

#include "base/lxOutputOptions.h"

#include <com/sun/star/drawing/XDrawPages.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>

#include <QList>
#include <QString>

#include <chrono>

class TlxOutputFiles;

namespace office {

// Writes the outputs of one open deck: its pictures limited first, then the office's PDF of the chosen slides,
// which is the output itself for a PDF and, for every per-slide format, the pages each slide's file is drawn from.
// Every file goes through files (a temporary name first); the per-file time limit covers the drawing too.
class OfficeOutput {
public:
    OfficeOutput(const css::uno::Reference<css::uno::XComponentContext> &context,
                 const css::uno::Reference<css::lang::XComponent> &component, const QString &source,
                 std::chrono::steady_clock::time_point startedAt, int limitSeconds)
        : m_context(context), m_component(component), m_source(source), m_startedAt(startedAt),
          m_limitSeconds(limitSeconds) {}

    // The files of the chosen slides (or the deck's PDF) at target; raises an Error for the first that fails.
    void Write(const TlxOutputOptions &options, const QString &target, TlxOutputFiles &files);

private:
    void writePdf(const TlxOutputOptions &options, const QList<int> &chosen, const QString &target,
                  TlxOutputFiles &files);
    // Each page of the office's PDF of the chosen slides as the file of its slide; a timeout of the deck when the
    // file's time ran out while drawing.
    void writePdfPages(const TlxOutputOptions &options, const QList<int> &chosen, int count, const QString &target,
                       TlxOutputFiles &files);
    // The pixels an inch of a PNG pngWidth wide of the slide (from 1).
    static int pngResolution(const css::uno::Reference<css::drawing::XDrawPages> &pages, int slide, int pngWidth);

    css::uno::Reference<css::uno::XComponentContext> m_context;
    css::uno::Reference<css::lang::XComponent> m_component;
    QString m_source;
    std::chrono::steady_clock::time_point m_startedAt;
    int m_limitSeconds;
};

} // namespace office
