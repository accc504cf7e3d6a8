#pragma once

#include <QString>
#include <QTemporaryDir>

// The program's global objects, made as start-up makes them (application, counters, project with the product
// profile, matcher) and released as shut-down releases them, with the program placed in a temporary folder so
// that counters, recent list and default project stay there. A test may replace one of them in between; whatever
// is set at the end is released.
class GlobalObjects {
public:
    // commandLineTail: what the application object takes as its command line after the program's name.
    explicit GlobalObjects(const QString &commandLineTail = QString());
    ~GlobalObjects();
    GlobalObjects(const GlobalObjects &) = delete;
    GlobalObjects &operator=(const GlobalObjects &) = delete;

    QString dir() const { return m_dir.path(); }
    QString exePath() const { return m_dir.path() + QStringLiteral("/bin/vorlane"); }
    // A path inside the temporary folder.
    QString path(const QString &relative) const { return m_dir.path() + u'/' + relative; }

private:
    QTemporaryDir m_dir;
};
