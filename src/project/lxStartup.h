#pragma once

// The program from its first instruction to its end: the global objects in their fixed order, the product
// profile, the command line, and the choice between the console run and the windowed program.

#include <QString>
#include <QStringList>

class TlxProject;

// Fills the fixed product profile of the converter (title, version, file filters, mask, target extension,
// converter class) and switches the file search to leave out Office owner files ("~$...").
void InitConverterProfile(TlxProject &project);

// Creates the global objects (application, information, project, console driver), fills the profile, reads the
// command line and creates the matcher. argv may be given before any Qt application object exists.
// Returns false when the command line asked only to open a web page (-I, -U): the program then ends with 0.
bool StartUp(int argc, char **argv);

// Releases the global objects in the reverse order of their creation.
void ShutDown();

// True when the project asks for a run without a window: "PureConsole" and a source that is no web address
// ("http" in lower case, anywhere).
bool WantsConsoleRun();

// The console run with its error handling: an error that escapes the run is printed on stderr and gives exit
// code 1; otherwise 0, also when files failed. Needs a QCoreApplication.
int RunConsoleProgram(bool echoToStdout);

// The run of the command line's option form (vorlane [OPTIONS] -o TARGET SOURCE...), start-up to shut-down:
// 0 when every file was converted or skipped, 2 when a file failed, 1 when the run could not start (a message
// on stderr). args are the arguments after the program name.
int RunCommandLine(int argc, char **argv, const QStringList &args);

// The usage text of the command line.
QString UsageText();
