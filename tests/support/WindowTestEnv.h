#pragma once

#include <QString>
#include <QTemporaryDir>

// The global objects the windows need (application, product information, project with the program's profile),
// with the program placed in a temporary folder so that counters, recent list and default project stay there.
class WindowTestEnv {
public:
    WindowTestEnv();
    ~WindowTestEnv();
    WindowTestEnv(const WindowTestEnv &) = delete;
    WindowTestEnv &operator=(const WindowTestEnv &) = delete;

    QString dir() const { return m_dir.path(); }
    QString exePath() const { return m_dir.path() + QStringLiteral("/bin/vorlane"); }
    // A path inside the temporary folder.
    QString path(const QString &relative) const { return m_dir.path() + u'/' + relative; }

private:
    QTemporaryDir m_dir;
};
