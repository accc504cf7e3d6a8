#pragma once

#include "base/lxOutputOptions.h"

#include <QHash>
#include <QList>
#include <QPointer>
#include <QReadWriteLock>
#include <QString>
#include <QStringList>

#include <memory>

class QObject;
class TlxPropList;
class TlxConvertorClass; // the converter class whose workers a run creates (engine)

// How an existing target file is treated.
// What a run does with a file whose output exists: replace it, write beside it under a new name, leave the file
// out, or convert it again only when it changed since (its time is later than its output's).
enum class TlxOverwriteMode { Overwrite, KeepExisting, Skip, Newer };

// The batch project: the option list (name=value lines), the project file, the recent-projects list, the
// command-line options, the bound main-window controls and the fixed product profile.
//
// Options are read by the search and worker threads while a run is under way, so the list is guarded by a
// read-write lock; everything that changes it runs on the main thread.
class TlxProject {
public:
    TlxProject();
    ~TlxProject();
    TlxProject(const TlxProject &) = delete;
    TlxProject &operator=(const TlxProject &) = delete;

    // --- product profile (filled once at start-up) ---
    const TlxConvertorClass *ConverterClass = nullptr;
    QString ShortName;
    QString ProjectExt;
    QString ProjectFilter;
    QString Title;
    QString SourceFilter;
    QString SourceMask;
    QString TargetExt;
    QString Version;
    QChar PathDelim = u'/';
    bool AutoTarget = true;
    bool OverwriteDefault = true;

    // --- project file state (main thread) ---
    QString FileName;
    QStringList RecentFiles;
    QString CommandLineOptions;

    // --- the option list ---
    // Raw value of a key (text after the first "="), empty when absent. Keys compare ignoring case.
    QString GetOption(const QString &key) const;
    // A non-empty value replaces the first matching line in place or appends one; an empty value deletes it.
    void SetOption(const QString &key, const QString &value);
    // The whole list, one line per entry.
    QStringList Options() const;
    void SetOptions(const QStringList &lines);
    // The list as text with CR LF line ends (the config dialog's view of it) and back.
    QString OptionsText() const;
    void SetOptionsText(const QString &text);

    // Typed reading of option text: "True"/"False" in any case or a number; anything else gives the default.
    static bool ParseBool(const QString &text, bool defaultValue);
    static int ParseInt(const QString &text, int defaultValue);
    bool BoolOption(const QString &key, bool defaultValue) const;
    int IntOption(const QString &key, int defaultValue) const;

    // --- typed accessors ---
    QString Source() const { return GetOption(QStringLiteral("Source")); }
    QString Target() const { return GetOption(QStringLiteral("Target")); }
    bool Subdir() const { return BoolOption(QStringLiteral("Subdir"), false); }
    int ThreadsCount() const { return IntOption(QStringLiteral("ThreadsCount"), 1); }
    bool KeepTargetSubdirs() const { return BoolOption(QStringLiteral("KeepTargetSubdirs"), true); }
    bool KeepFileTime() const { return BoolOption(QStringLiteral("KeepFileTime"), false); }
    bool DeleteSource() const { return BoolOption(QStringLiteral("DeleteSource"), false); }
    QString RenameSource() const { return GetOption(QStringLiteral("RenameSource")); }
    bool PureConsole() const { return BoolOption(QStringLiteral("PureConsole"), false); }
    int Daemon() const { return IntOption(QStringLiteral("Daemon"), 0); }
    // Unattended: RunAndClose itself, a console project shown as a window, or a daemon.
    bool RunAndClose() const;
    // Seconds one file may take before its office is stopped; 0 means no limit.
    int Timeout() const { return IntOption(QStringLiteral("Timeout"), 120); }
    // The global project's output options (the defaults without one); throws ElxError with a message for the user on
    // a value that is not understood.
    static TlxOutputOptions OutputOptions();
    // The same, but the defaults in place of a value that is not understood (the run has checked them already).
    static TlxOutputOptions OutputOptionsOrDefault();
    TlxOverwriteMode OverwriteMode() const;
    // "Target" with PathDelim at its end; the folder is created when missing (failures are left to the
    // converters, which report them per file). Empty when "Target" is empty.
    QString TargetFolder() const;

    // --- project files ---
    bool IsProjectFile(const QString &name) const;
    QString RecentListFileName() const;
    QString DefaultProjectFileName() const;
    void OpenStartupProject();
    void OpenProject(bool withDialog);
    void NewProject();
    void SaveProject();
    void SaveProjectAs();
    // Copies the controls into the options; with write, saves the file (throws on failure) and adds it to the
    // recent list.
    void StoreOptions(bool write);
    void AddRecent();

    // Reads the first command-line parameter, then opens the start-up project. "-I" and "-U" only open their web
    // page: the result is then false and the program ends at once. "-P" gives option lines ("," and ";" separate
    // them). Any other parameter of two or more characters is a file name; a shorter one is ignored.
    bool ReadCommandLine();

    // --- bound controls ---
    void BindControl(QObject *control);
    void UnbindControls();
    void OptionsToControls();
    void ControlsToOptions();

    // Reads a project file's lines honouring UTF-8/UTF-16 BOMs; false when it cannot be read.
    static bool ReadLines(const QString &fileName, QStringList &lines);
    // Writes lines in the locale encoding with CR LF after each; throws std::runtime_error on failure.
    static void WriteLines(const QString &fileName, const QStringList &lines);

    // Loads/saves RecentFiles from/to the recent-list file; failures are ignored.
    void LoadRecent();
    void SaveRecent() const;

private:
    qsizetype indexOfKey(const QString &key) const; // caller holds the lock
    void setOptionLocked(const QString &key, const QString &value);
    TlxPropList *accessorFor(QObject *control);
    void applyAutoTarget(const QString &fileName);

    mutable QReadWriteLock m_lock;
    QStringList m_options;
    QList<QPointer<QObject>> m_boundControls;
    QHash<QObject *, std::shared_ptr<TlxPropList>> m_accessors;
};

// The single project object.
extern TlxProject *lxProject;
