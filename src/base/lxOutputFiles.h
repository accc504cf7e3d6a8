#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The files of one output written the safe way: each to a hidden temporary name beside its final name first, all
// renamed to their final names only once every one is written and checked. A half-written file never takes the
// place of an output, a folder that refuses files is told at the first one, and what is not committed is removed.
class TlxOutputFiles {
public:
    // Temporary names end with ext: some writers choose their way of writing by it.
    TlxOutputFiles(const QString &dir, const QString &ext) : m_dir(dir), m_ext(ext) {}
    ~TlxOutputFiles() { Discard(); }
    TlxOutputFiles(const TlxOutputFiles &) = delete;
    TlxOutputFiles &operator=(const TlxOutputFiles &) = delete;

    // A new empty temporary file that will become final; empty, with the reason in error, when the folder refuses.
    QString Temporary(const QString &final, QString *error);
    // Renames every temporary to its final name; false, with the final name and the reason, at the first that fails.
    bool Commit(QString *failed, QString *error);
    // Removes the temporaries not yet committed.
    void Discard();
    QStringList Finals() const { return m_finals; }

    // A new empty file named dir/.vorlane-RANDOM + ext, never one that exists, made like any new file (mode 0666
    // less the umask) so that an output keeps the permissions the user expects once it takes its name; empty with
    // the reason when none can be made.
    static QString CreateTemporary(const QString &dir, const QString &ext, QString *error);
    // Writes data over the file at path; empty when all of it is on disk, else the reason ("the disk is full").
    static QString WriteWhole(const QString &path, const QByteArray &data);

private:
    QString m_dir, m_ext;
    QStringList m_temps, m_finals;
};
