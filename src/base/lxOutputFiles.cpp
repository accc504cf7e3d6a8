#include "base/lxOutputFiles.h"

#include "base/lxFileName.h"

#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

QString TlxOutputFiles::Temporary(const QString &final, QString *error) {
    const QString tmp = CreateTemporary(m_dir, m_ext, error);
    if (!tmp.isEmpty()) {
        m_temps << tmp;
        m_finals << final;
    }
    return tmp;
}

bool TlxOutputFiles::Commit(QString *failed, QString *error) {
    while (!m_temps.isEmpty()) {
        if (!TlxFileName::Rename(m_temps.first(), m_finals.first(), true)) {
            *failed = m_finals.first();
            *error = QString::fromLocal8Bit(std::strerror(errno));
            return false;
        }
        m_temps.removeFirst();
        m_finals.removeFirst();
    }
    return true;
}

void TlxOutputFiles::Discard() {
    for (const QString &t : m_temps)
        TlxFileName::Remove(t);
    m_temps.clear();
    m_finals.clear();
}

QString TlxOutputFiles::CreateTemporary(const QString &dir, const QString &ext, QString *error) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString name =
            dir + QStringLiteral("/.vorlane-%1").arg(QRandomGenerator::global()->generate64(), 0, 36) + ext;
        const int fd = ::open(TlxFileName::Encode(name).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            return name;
        }
        if (errno != EEXIST) {
            *error = QString::fromLocal8Bit(std::strerror(errno));
            return QString();
        }
    }
    *error = QStringLiteral("no free temporary name");
    return QString();
}

QString TlxOutputFiles::WriteWhole(const QString &path, const QByteArray &data) {
    const int fd = ::open(TlxFileName::Encode(path).constData(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    int err = fd < 0 ? errno : 0;
    for (qsizetype done = 0; fd >= 0 && !err && done < data.size();) {
        const ssize_t n = ::write(fd, data.constData() + done, size_t(data.size() - done));
        if (n < 0 && errno != EINTR)
            err = errno;
        else if (n > 0)
            done += n;
    }
    if (fd >= 0 && ::close(fd) != 0 && !err)
        err = errno;
    if (!err)
        return QString();
    return err == ENOSPC || err == EDQUOT ? QStringLiteral("the disk is full")
                                          : QString::fromLocal8Bit(std::strerror(err));
}
