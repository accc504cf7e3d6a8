#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// What a run writes for each deck: the file format, which slides, and how fine its pictures stay: the project's
// options "Format", "Slides", "ImageResolution" and "PngWidth" (TlxProject::OutputOptions reads them; a run checks
// them before its first file), handed to the office with each deck it writes.
class TlxOutputOptions {
public:
    enum class Format { Emf, Emz, Svg, Png, Pdf };

    Format format = Format::Emf;
    // Pixels per inch at a picture's size on the slide above which it is resampled down; 0 keeps every picture.
    int imageResolution = 220;
    // The width in pixels of a slide written as PNG.
    int pngWidth = 1920;

    // The defaults: every slide as EMF.
    TlxOutputOptions() = default;
    // Each option's text as a user writes it; empty texts give the defaults. Throws ElxError with a message for the
    // user on a value that is not understood.
    static TlxOutputOptions Parse(const QString &format, const QString &slides, const QString &imageResolution,
                                  const QString &pngWidth);
    // The options as one text of name=value pairs ("Format=emf;Slides=2-4;ImageResolution=220;PngWidth=1920"), as
    // they travel with a call, and back (names ignore case, missing ones take the defaults; throws like Parse).
    QString Text() const;
    static TlxOutputOptions FromText(const QString &text);

    // The options as name=value lines with their defaults ("Format=emf", ...), for a user to edit.
    static QStringList DefaultLines();

    // ".emf", ".emz", ".svg", ".png", ".pdf".
    QString Extension() const;
    QString FormatName() const;
    // One file per slide (every format but PDF, which writes one file per deck).
    bool PerSlide() const { return format != Format::Pdf; }
    // The format code the presentation's SaveAs takes for the format, and back.
    int SaveAsCode() const;
    static bool FromSaveAsCode(int code, Format *format);

    // Slides: every slide, or only those of the ranges.
    bool AllSlides() const { return m_ranges.isEmpty(); }
    bool Takes(int slide) const;
    // The chosen slides of a deck of count slides, in order.
    QList<int> ChosenSlides(int count) const;
    // The smallest slide number chosen (1 for every slide).
    int FirstSlide() const;
    // The first slide of a range that runs to the deck's end (1 for every slide), or 0 when every range ends.
    int OpenFrom() const;
    // The largest slide number of the ranges that end.
    int LastSlide() const;
    // The ranges as the user gave them, normalised ("1,3,5-").
    QString SlidesText() const;

    // Slide k's output: the deck's output for slide 1, "-k" before the extension for the others.
    static QString SlidePath(const QString &path, int slide);

private:
    struct Range {
        int first;
        int last; // 0: to the end of the deck
    };
    QList<Range> m_ranges;
};
