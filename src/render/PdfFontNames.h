#pragma once

#include <QString>

// The font a slide asks for, from the name of the font the office drew it with in its PDF: the subset tag and
// style go, the family is looked up by its PostScript name, and a metric-compatible stand-in (Carlito, Liberation
// Sans, ...) is named as the font it stands for (Calibri, Arial, ...), which Word and PowerPoint have.
class PdfFontNames {
public:
    struct Face {
        QString family;
        bool bold = false;
        bool italic = false;
    };
    // pdfName as the PDF gives it ("ABCDEF+Carlito-BoldItalic"); bold and italic from the font's own flags.
    static Face For(const QString &pdfName, bool boldFlag, bool italicFlag);
    // The font a stand-in stands for; the family itself when it is none.
    static QString Original(const QString &family);
};
