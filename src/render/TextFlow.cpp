#include "render/TextFlow.h"

#include <QStringList>

#include <algorithm>

namespace {
bool rightToLeftLetter(char16_t c) {
    const bool arabicDigit = (c >= 0x0660 && c <= 0x0669) || (c >= 0x06F0 && c <= 0x06F9);
    return !arabicDigit &&
           ((c >= 0x0590 && c <= 0x08FF) || (c >= 0xFB1D && c <= 0xFDFF) || (c >= 0xFE70 && c <= 0xFEFF));
}

// Characters that take the way of the text around them and look the same either way; brackets are left out, as
// a reader draws them mirrored in right-to-left text.
bool neutral(QChar c) {
    return c.isSpace() || c.isMark() || c.category() == QChar::Other_Format /* joiners, direction marks */ ||
           QStringLiteral(".,:;!?-\u060C\u061B\u061F").contains(c);
}
} // namespace

TextFlow::Way TextFlow::Of(const QString &chars) {
    Way way = Neutral;
    for (QChar c : chars) {
        if (rightToLeftLetter(c.unicode()))
            way = RightToLeft;
        else if (!neutral(c))
            return LeftToRight;
    }
    return way;
}

void TextFlow::ToReadingOrder(QString *text, std::vector<double> *advances, const std::vector<qsizetype> &starts) {
    QString read;
    std::vector<double> readAdvances;
    qsizetype end = text->size();
    for (auto it = starts.rbegin(); it != starts.rend(); ++it) {
        const qsizetype start = std::clamp<qsizetype>(*it, 0, end);
        read += text->mid(start, end - start);
        for (qsizetype k = start; k < end; ++k)
            readAdvances.push_back(std::size_t(k) < advances->size() ? (*advances)[std::size_t(k)] : 0);
        end = start;
    }
    *text = read;
    *advances = readAdvances;
}

bool TextFlow::ReadersHave(const QString &face) {
    // Windows' own faces with both scripts, and its Hebrew and Arabic faces.
    static const QStringList faces = {
        QStringLiteral("Arial"),
        QStringLiteral("Times New Roman"),
        QStringLiteral("Courier New"),
        QStringLiteral("Tahoma"),
        QStringLiteral("Segoe UI"),
        QStringLiteral("Microsoft Sans Serif"),
        QStringLiteral("David"),
        QStringLiteral("Miriam"),
        QStringLiteral("FrankRuehl"),
        QStringLiteral("Gisha"),
        QStringLiteral("Narkisim"),
        QStringLiteral("Aharoni"),
        QStringLiteral("Levenim MT"),
        QStringLiteral("Traditional Arabic"),
        QStringLiteral("Simplified Arabic"),
        QStringLiteral("Arabic Typesetting"),
        QStringLiteral("Sakkal Majalla"),
        QStringLiteral("Andalus"),
        QStringLiteral("Urdu Typesetting"),
    };
    return faces.contains(face, Qt::CaseInsensitive);
}

QString TextFlow::Unshaped(const QString &text) {
    QString out;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        out += (u >= 0xFB50 && u <= 0xFDFF) || (u >= 0xFE70 && u <= 0xFEFF)
                   ? QString(c).normalized(QString::NormalizationForm_KC)
                   : QString(c);
    }
    return out;
}
