#pragma once

#include <QString>
#include <QStringView>
#include <QtGlobal>

// Attribute bits of a listing entry (the nine low bits). Here an entry is hidden when its name begins with '.',
// a directory when it is a folder (symbolic links to folders are neither files nor folders: never followed).
// The other bits are never set: every allowed set the scan uses admits them anyway.
enum TlxFileAttr : quint32 {
    faReadOnly = 0x01,
    faHidden = 0x02,
    faSysFile = 0x04,
    faVolumeID = 0x08,
    faDirectory = 0x10,
    faArchive = 0x20,
    faDevice = 0x40,
    faNormal = 0x80,
    faTemporary = 0x100,
    faAnyFile = 0x1FF,
};

// Allowed attribute sets of the file listing: every file, or every file that is not hidden.
constexpr quint32 faFilesAll = faAnyFile & ~quint32(faDirectory);
constexpr quint32 faFilesNotHidden = faFilesAll & ~quint32(faHidden);

// The folder scan and the file-name filter. The batch derives from this and supplies AddFile, the search's mask,
// the extra expression and its terminate request; the scan needs nothing else.
class TlxFileSearch {
public:
    virtual ~TlxFileSearch() = default;

    // Walks folder (ending in '/'; empty means the current folder): first the files of the folder whose names
    // fit mask (listing order, case-insensitive wildcard) and whose attributes lie inside allowed, then, when
    // recurse is set, every sub-folder that is neither hidden nor a symbolic link, depth first. Owner files ("~$…")
    // are left out while TlxMatchBase::SkipOwnerFiles is set. Calls AddFile(folder + name) for each file. A
    // terminate request is honoured after every entry. Folders that cannot be read contribute nothing; special
    // files (pipes, sockets, devices) are never files here, since opening one could block a worker for good.
    void ScanFolder(const QString &folder, const QString &mask, bool recurse, quint32 allowed);

    // The file-name filter: the full path against the mask turned into a regular expression, then against the
    // extra expression when there is one. Accepts everything while no Matcher exists.
    bool Accepts(const QString &path) const;

    // The listing's wildcard match of a bare name: '*' any run of characters, '?' one character (or none before
    // a '.' or at the end of the name), letter case ignored. The empty mask matches no name.
    static bool WildcardMatch(QStringView name, QStringView mask);

protected:
    virtual void AddFile(const QString &path) = 0;
    virtual QString Mask() const = 0;
    virtual QString RegExt() const = 0;
    virtual bool TerminateRequested() const = 0;
};
