#include "engine/lxFileSearch.h"

#include "base/lxFileName.h"
#include "engine/lxMatch.h"

#include <QStringList>
#include <QVarLengthArray>
#include <algorithm>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <memory>
#include <vector>

namespace {
// Name order, letter case ignored first, as a file manager shows a folder.
void sortNames(QStringList &names) {
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        const int folded = a.compare(b, Qt::CaseInsensitive);
        return folded != 0 ? folded < 0 : a < b;
    });
}

struct DirCloser {
    void operator()(DIR *dir) const { closedir(dir); }
};

enum class EntryKind { Other, File, Folder };

// What an entry is, without following links to folders.
EntryKind entryKind(int dirFd, const dirent *entry) {
    unsigned char type = entry->d_type;
    struct stat st {};
    if (type == DT_UNKNOWN) {
        if (fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            return EntryKind::Other;
        type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : S_ISLNK(st.st_mode) ? DT_LNK : DT_UNKNOWN;
    }
    switch (type) {
    case DT_REG:
        return EntryKind::File;
    case DT_DIR:
        return EntryKind::Folder;
    case DT_LNK:
        // A link to a file is a file; a link to a folder is not followed; a dangling link has vanished.
        return fstatat(dirFd, entry->d_name, &st, 0) == 0 && S_ISREG(st.st_mode) ? EntryKind::File : EntryKind::Other;
    default:
        return EntryKind::Other;
    }
}

// The mask turned into a regular expression, remembered per thread: every file of a scan asks for the same one.
QString patternFor(const QString &mask) {
    thread_local QString lastMask;
    thread_local QString lastPattern;
    if (lastPattern.isEmpty() || mask != lastMask) {
        lastPattern = WildcardToRegex(mask);
        lastMask = mask;
    }
    return lastPattern;
}

} // namespace

namespace {
// Letter case folded the cheap way for ASCII, which nearly every file name is.
inline char16_t folded(QChar c) {
    const char16_t u = c.unicode();
    if (u < 0x80)
        return u >= u'A' && u <= u'Z' ? char16_t(u + 32) : u;
    return c.toCaseFolded().unicode();
}
} // namespace

bool TlxFileSearch::WildcardMatch(QStringView name, QStringView mask) {
    const qsizetype m = mask.size();
    if (m <= 0)
        return false;
    // Called for every file of a scan: short masks work in buffers on the stack. Each buffer knows its own size,
    // so a long mask moves all of them to the heap together and no index can run past a fixed array.
    constexpr qsizetype kShort = 64;
    QVarLengthArray<char16_t, kShort> pattern(m);
    QVarLengthArray<char, kShort> qmarkMayBeEmpty(m);
    QVarLengthArray<char, kShort + 1> curStates(m + 1), nextStates(m + 1);
    char *cur = curStates.data(), *next = nextStates.data();
    for (qsizetype j = 0; j < m; ++j)
        pattern[j] = folded(mask[j]);
    // A '?' may stand for nothing when only further '?' lie between it and a '.' or the end of the mask.
    for (qsizetype j = m - 1, run = 1; j >= 0; --j) {
        qmarkMayBeEmpty[j] = pattern[j] == u'?' ? char(run) : 0;
        if (pattern[j] != u'?')
            run = pattern[j] == u'.';
    }
    // Simulates the mask as an automaton: state j means "mask[0..j) has been matched".
    const auto close = [&](char *states) {
        for (qsizetype j = 0; j < m; ++j) {
            if (states[j] && (pattern[j] == u'*' || (pattern[j] == u'?' && qmarkMayBeEmpty[j])))
                states[j + 1] = 1;
        }
    };
    std::fill(cur, cur + m + 1, 0);
    cur[0] = 1;
    close(cur);
    for (const QChar c : name) {
        std::fill(next, next + m + 1, 0);
        bool any = false;
        const char16_t f = folded(c);
        for (qsizetype j = 0; j < m; ++j) {
            if (!cur[j])
                continue;
            const char16_t p = pattern[j];
            if (p == u'*') {
                next[j] = 1;
                any = true;
            } else if (p == u'?' || p == f) {
                next[j + 1] = 1;
                any = true;
            }
        }
        if (!any)
            return false;
        close(next);
        std::swap(cur, next);
    }
    return cur[m];
}

bool TlxFileSearch::Accepts(const QString &path) const {
    const TlxMatchBase *matcher = Matcher;
    if (!matcher)
        return true;
    // Bytes of a name that are not UTF-8 would make the expression engine reject the whole text.
    const QString text = TlxFileName::ForMatching(path);
    bool result = matcher->TestPath(text, patternFor(Mask()));
    if (result) {
        const QString extra = RegExt();
        if (!extra.isEmpty())
            result = matcher->TestPath(text, extra);
    }
    return result;
}

void TlxFileSearch::ScanFolder(const QString &folder, const QString &mask, bool recurse, quint32 allowed) {
    std::unique_ptr<DIR, DirCloser> dir(opendir(folder.isEmpty() ? "." : TlxFileName::Encode(folder).constData()));
    if (!dir)
        return;
    const int fd = dirfd(dir.get());
    const bool skipOwners = TlxMatchBase::SkipOwnerFiles.load(std::memory_order_relaxed);
    QStringList files, subfolders;
    while (const dirent *entry = readdir(dir.get())) {
        const char *raw = entry->d_name;
        if (raw[0] == '.' && (raw[1] == 0 || (raw[1] == '.' && raw[2] == 0)))
            continue;
        const EntryKind kind = entryKind(fd, entry);
        const bool hidden = raw[0] == '.';
        if (kind == EntryKind::Folder) {
            if (recurse && !hidden)
                subfolders << TlxFileName::Decode(raw);
        } else if (kind == EntryKind::File) {
            const quint32 attributes = hidden ? quint32(faHidden) : 0u;
            const bool allowedEntry = (attributes & allowed) == (attributes & faAnyFile);
            const bool ownerFile = skipOwners && raw[0] == '~' && raw[1] == '$';
            if (allowedEntry && !ownerFile) {
                QString name = TlxFileName::Decode(raw);
                if (WildcardMatch(name, mask))
                    files << std::move(name);
            }
        }
        if (TerminateRequested())
            return;
    }
    dir.reset();
    // The raw directory order of most Linux file systems looks random: files are taken in name order, so the
    // list, the log and the order of conversion are the same on every run.
    sortNames(files);
    for (const QString &name : std::as_const(files)) {
        AddFile(folder + name);
        if (TerminateRequested())
            return;
    }
    if (!recurse)
        return;
    sortNames(subfolders);
    for (const QString &name : std::as_const(subfolders)) {
        ScanFolder(folder + name + u'/', mask, recurse, allowed);
        if (TerminateRequested())
            return;
    }
}
