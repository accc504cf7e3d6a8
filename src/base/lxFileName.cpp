#include "base/lxFileName.h"

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {
constexpr char16_t kRawFirst = 0xDC80;
constexpr char16_t kRawLast = 0xDCFF;

inline bool isRaw(QStringView s, qsizetype i) {
    const char16_t c = s[i].unicode();
    // A low surrogate after a high one is half of a real character, not a kept byte.
    return c >= kRawFirst && c <= kRawLast && !(i > 0 && QChar::isHighSurrogate(s[i - 1].unicode()));
}

// Length of the valid UTF-8 sequence at p (1 to 4), or 0 when the byte there does not start one.
int sequenceLength(const unsigned char *p, qsizetype left) {
    const unsigned char b = p[0];
    if (b < 0x80)
        return 1;
    int n = 0;
    char32_t min = 0;
    if (b >= 0xC2 && b <= 0xDF)
        n = 2, min = 0x80;
    else if (b >= 0xE0 && b <= 0xEF)
        n = 3, min = 0x800;
    else if (b >= 0xF0 && b <= 0xF4)
        n = 4, min = 0x10000;
    else
        return 0;
    if (left < n)
        return 0;
    char32_t cp = b & (0x7F >> n);
    for (int k = 1; k < n; ++k) {
        if ((p[k] & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (p[k] & 0x3F);
    }
    // Overlong forms, surrogates and code points beyond Unicode are not valid UTF-8.
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return n;
}

struct stat *statOf(const QString &path, struct stat *st) {
    return ::stat(TlxFileName::Encode(path).constData(), st) == 0 ? st : nullptr;
}
} // namespace

QString TlxFileName::Decode(QByteArrayView bytes) {
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const qsizetype size = bytes.size();
    QString out;
    qsizetype run = 0; // start of the current stretch of valid UTF-8
    for (qsizetype i = 0; i < size;) {
        const int n = sequenceLength(p + i, size - i);
        if (n > 0) {
            i += n;
            continue;
        }
        out += QString::fromUtf8(bytes.data() + run, i - run);
        out += QChar(char16_t(kRawFirst + (p[i] - 0x80)));
        run = ++i;
    }
    if (run == 0)
        return QString::fromUtf8(bytes.data(), size);
    out += QString::fromUtf8(bytes.data() + run, size - run);
    return out;
}

QByteArray TlxFileName::Encode(QStringView path) {
    QByteArray out;
    out.reserve(path.size());
    qsizetype run = 0; // start of the current stretch of ordinary text
    for (qsizetype i = 0; i < path.size(); ++i) {
        if (!isRaw(path, i))
            continue;
        out += path.mid(run, i - run).toUtf8();
        out += char(0x80 + (path[i].unicode() - kRawFirst));
        run = i + 1;
    }
    out += path.mid(run).toUtf8();
    return out;
}

bool TlxFileName::HasRawBytes(QStringView text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (isRaw(text, i))
            return true;
    }
    return false;
}

QString TlxFileName::Display(const QString &text) {
    if (!HasRawBytes(text))
        return text;
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (isRaw(text, i))
            out += QLatin1String("\\x") + QString::number(0x80 + (text[i].unicode() - kRawFirst), 16).toUpper();
        else
            out += text[i];
    }
    return out;
}

QString TlxFileName::ForMatching(const QString &text) {
    if (!HasRawBytes(text))
        return text;
    QString out = text;
    for (qsizetype i = 0; i < out.size(); ++i) {
        if (isRaw(text, i))
            out[i] = QChar::ReplacementCharacter;
    }
    return out;
}

QString TlxFileName::Absolute(const QString &path) {
    if (path.startsWith(u'/'))
        return path;
    char buffer[4096];
    const QString cwd = ::getcwd(buffer, sizeof buffer) ? Decode(buffer) : QDir::currentPath();
    if (path.isEmpty())
        return cwd;
    return cwd.endsWith(u'/') ? cwd + path : cwd + u'/' + path;
}

QString TlxFileName::Extension(const QString &path) {
    const qsizetype dot = path.lastIndexOf(u'.');
    if (dot <= path.lastIndexOf(u'/') || dot == path.size() - 1)
        return QString();
    return path.mid(dot);
}

QString TlxFileName::FileUrl(const QString &absolutePath) {
    static const char hex[] = "0123456789ABCDEF";
    QString url = QStringLiteral("file://");
    for (const char c : Encode(absolutePath)) {
        const auto b = static_cast<unsigned char>(c);
        if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') || b == '-' || b == '.' ||
            b == '_' || b == '~' || b == '/') {
            url += QChar(b);
        } else {
            url += u'%';
            url += QChar(hex[b >> 4]);
            url += QChar(hex[b & 15]);
        }
    }
    return url;
}

bool TlxFileName::Exists(const QString &path) {
    struct stat st {};
    return !path.isEmpty() && statOf(path, &st);
}

bool TlxFileName::IsDir(const QString &path) {
    struct stat st {};
    return !path.isEmpty() && statOf(path, &st) && S_ISDIR(st.st_mode);
}

bool TlxFileName::IsFile(const QString &path) {
    struct stat st {};
    return !path.isEmpty() && statOf(path, &st) && S_ISREG(st.st_mode);
}

qint64 TlxFileName::Size(const QString &path) {
    struct stat st {};
    return !path.isEmpty() && statOf(path, &st) ? qint64(st.st_size) : -1;
}

bool TlxFileName::MakePath(const QString &dir) {
    QByteArray bytes = Encode(dir);
    while (bytes.size() > 1 && bytes.endsWith('/'))
        bytes.chop(1);
    if (bytes.isEmpty())
        return false;
    struct stat st {};
    if (::stat(bytes.constData(), &st) == 0)
        return S_ISDIR(st.st_mode);
    // Each missing folder from the top down; one made meanwhile by another thread is just as good.
    for (qsizetype slash = bytes.indexOf('/', 1);; slash = bytes.indexOf('/', slash + 1)) {
        const QByteArray part = slash < 0 ? bytes : bytes.left(slash);
        if (::mkdir(part.constData(), 0777) != 0 && errno != EEXIST)
            break;
        if (slash < 0)
            break;
    }
    return ::stat(bytes.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool TlxFileName::Remove(const QString &path) {
    return !path.isEmpty() && ::unlink(Encode(path).constData()) == 0;
}

bool TlxFileName::Rename(const QString &from, const QString &to, bool replace) {
    if (from.isEmpty() || to.isEmpty())
        return false;
    const QByteArray a = Encode(from), b = Encode(to);
    if (replace)
        return ::rename(a.constData(), b.constData()) == 0;
    if (::renameat2(AT_FDCWD, a.constData(), AT_FDCWD, b.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system without the atomic form: look first, accepting the small window.
    struct stat st {};
    return ::lstat(b.constData(), &st) != 0 && ::rename(a.constData(), b.constData()) == 0;
}

bool TlxFileName::Open(QFile &file, const QString &path, QIODevice::OpenMode mode, QString *error) {
    int flags = O_CLOEXEC;
    if ((mode & QIODevice::ReadWrite) == QIODevice::ReadWrite)
        flags |= O_RDWR | O_CREAT;
    else if (mode & QIODevice::WriteOnly)
        flags |= O_WRONLY | O_CREAT;
    else
        flags |= O_RDONLY;
    if (mode & QIODevice::WriteOnly) {
        if (mode & QIODevice::Append)
            flags |= O_APPEND;
        else if ((mode & QIODevice::Truncate) || !(mode & QIODevice::ReadOnly))
            flags |= O_TRUNC;
        if (mode & QIODevice::NewOnly)
            flags |= O_EXCL;
    }
    const int fd = path.isEmpty() ? -1 : ::open(Encode(path).constData(), flags, 0666);
    if (fd < 0) {
        if (error)
            *error = QString::fromLocal8Bit(std::strerror(path.isEmpty() ? ENOENT : errno));
        return false;
    }
    if (!file.open(fd, mode, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}
