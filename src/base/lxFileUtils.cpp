#include "base/lxFileUtils.h"

#include "base/lxError.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <stdexcept>

namespace {

void checkBytesPerChar(int bytesPerChar) {
    if (bytesPerChar != 1 && bytesPerChar != 2)
        throw std::invalid_argument("bytes per character must be 1 or 2");
}

ElxError fileError(const QString &what, const QFile &file) {
    return ElxError(QStringLiteral("%1 \"%2\". %3").arg(what, file.fileName(), file.errorString()));
}

} // namespace

qint32 TlxFileUtils::GetFileDate(const QString &path, bool useCreationTime, bool keepUniversalTime) {
    if (path.isEmpty())
        return -1;
    const QFileInfo info(path);
    if (!info.exists())
        return -1;
    QDateTime time;
    if (useCreationTime) {
        time = info.birthTime();
        if (!time.isValid())
            time = info.metadataChangeTime();
    } else {
        time = info.lastModified();
    }
    if (!time.isValid())
        return -1;
    time = keepUniversalTime ? time.toUTC() : time.toLocalTime();
    const QDate d = time.date();
    const QTime t = time.time();
    if (d.year() < 1980 || d.year() > 2107)
        return -1;
    const quint32 date = (quint32(d.year() - 1980) << 9) | (quint32(d.month()) << 5) | quint32(d.day());
    const quint32 clock = (quint32(t.hour()) << 11) | (quint32(t.minute()) << 5) | quint32(t.second() / 2);
    return qint32((date << 16) | clock);
}

QString TlxFileUtils::ReadText(const QString &path, int bytesPerChar) {
    checkBytesPerChar(bytesPerChar);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw fileError(QStringLiteral("Cannot open file"), file);
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw fileError(QStringLiteral("Cannot read file"), file);
    if (bytesPerChar == 1)
        return QString::fromLatin1(data);
    const qsizetype chars = data.size() / 2;
    QString text(chars, Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(text.data());
    const auto *in = reinterpret_cast<const unsigned char *>(data.constData());
    for (qsizetype i = 0; i < chars; ++i)
        out[i] = char16_t(in[2 * i] | (in[2 * i + 1] << 8));
    return text;
}

void TlxFileUtils::WriteText(const QString &path, const QString &text, int bytesPerChar, bool append) {
    checkBytesPerChar(bytesPerChar);
    const QString folder = QFileInfo(path).absolutePath();
    if (!QFileInfo(folder).isDir())
        QDir().mkpath(folder);

    QByteArray data;
    if (bytesPerChar == 1) {
        data = text.toLatin1();
    } else {
        data.resize(text.size() * 2);
        const char16_t *in = reinterpret_cast<const char16_t *>(text.constData());
        for (qsizetype i = 0; i < text.size(); ++i) {
            data[2 * i] = char(in[i] & 0xFF);
            data[2 * i + 1] = char(in[i] >> 8);
        }
    }

    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        throw fileError(QStringLiteral("Cannot open file"), file);
    const bool positioned = append ? file.seek(file.size()) : file.resize(0);
    if (!positioned || (!data.isEmpty() && file.write(data) != data.size()) || !file.flush())
        throw fileError(QStringLiteral("Cannot write file"), file);
    file.close();
    if (file.error() != QFileDevice::NoError)
        throw fileError(QStringLiteral("Cannot write file"), file);
}

QString TlxFileUtils::FolderPart(const QString &path) {
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash < 0 ? QString() : path.left(slash + 1);
}

QStringList TlxFileUtils::SplitLines(const QString &text) {
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != u'\r' && c != u'\n')
            continue;
        lines << text.mid(start, i - start);
        if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines << text.mid(start);
    return lines;
}
