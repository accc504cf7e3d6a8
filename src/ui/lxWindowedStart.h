#pragma once

class QApplication;

// The windowed program: creates the main window and the About window, runs the About window's start-up step,
// shows the main window and runs the event loop until the main window closes. Returns the exit code (0).
// The global objects (application, information, project) must exist; they are released by the caller.
int RunWindowed(QApplication &app);
