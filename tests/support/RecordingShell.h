#pragma once

#include "base/IShell.h"

#include <QStringList>

// Records every target the program asks the desktop to open, instead of opening it. Installed while it lives.
class RecordingShell : public IShell {
public:
    RecordingShell();
    ~RecordingShell() override;

    void Open(const QString &target) override;

    QStringList targets;

private:
    IShell *m_previous = nullptr;
};
