#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <cstdlib>

// Helpers shared by the fuzz targets: turning the fuzzer's bytes into texts and stopping on a broken promise.
namespace FuzzSupport {

// A broken promise of the code under test: reported like a crash, so the fuzzer keeps the input.
#define FUZZ_EXPECT(condition)                                                                                         \
    do {                                                                                                               \
        if (!(condition)) {                                                                                            \
            std::fprintf(stderr, "%s:%d: expectation failed: %s\n", __FILE__, __LINE__, #condition);                   \
            std::abort();                                                                                              \
        }                                                                                                              \
    } while (0)

// The application object some Qt classes want, made once and never destroyed before the fuzzer ends.
inline void ensureApplication() {
    static int argc = 1;
    static char name[] = "fuzz";
    static char *argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static QCoreApplication *app = new QCoreApplication(argc, argv);
        (void)app;
    }
}

// The bytes as text: UTF-8 (malformed sequences become replacement characters), or, when utf16 is set, raw
// little-endian UTF-16 code units, so that unpaired surrogates reach the code too.
inline QString text(const QByteArray &bytes, bool utf16) {
    if (!utf16)
        return QString::fromUtf8(bytes);
    QString out;
    out.reserve(bytes.size() / 2);
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2)
        out += QChar(char16_t(quint8(bytes[i]) | (quint8(bytes[i + 1]) << 8)));
    return out;
}

// The text cut at U+0000 into exactly count fields: missing ones are empty, the last one keeps any further U+0000.
inline QStringList fields(const QString &all, int count) {
    QStringList out;
    qsizetype start = 0;
    while (out.size() < count - 1) {
        const qsizetype nul = all.indexOf(QChar(0), start);
        if (nul < 0)
            break;
        out << all.mid(start, nul - start);
        start = nul + 1;
    }
    out << all.mid(start);
    while (out.size() < count)
        out << QString();
    return out;
}

} // namespace FuzzSupport
