#include "RecordingShell.h"

RecordingShell::RecordingShell() {
    m_previous = IShell::install(this);
}

RecordingShell::~RecordingShell() {
    IShell::install(m_previous);
}

void RecordingShell::Open(const QString &target) {
    targets << target;
}
