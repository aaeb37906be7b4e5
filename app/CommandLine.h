#pragma once

#include <QStringList>

#include <memory>

class QCommandLineParser;
class QCoreApplication;

// The program's command line. main() reads it in two steps: a scan of argv
// before any application object exists decides whether a window is needed
// (createApplication), then the application's arguments are processed
// (processCommandLine). Both steps use the options of addProgramOptions, so
// an option added there is known to both. A feature adds its options through
// a function of its own called from addProgramOptions; a run that needs no
// window also names its option in windowlessOptionNames and branches off in
// main() before the window is made.

// The reverse-DNS name of the desktop entry, the icon and the metainfo.
extern const char *const applicationId;

// Sets the application's name, version and desktop file name. Call it before
// the application object is made: the windowing system reads them then.
void setApplicationIdentity();

// Declares every option of the program on parser: the help and the version,
// then each feature's options through a function of that feature.
void addProgramOptions(QCommandLineParser &parser);

// The names of the options after which the program opens no window and needs
// no display: the help, the version and every run without a window.
QStringList windowlessOptionNames();

// Whether arguments (argv as given, Qt's own options such as -platform still
// in it) ask for the window. No when they name a windowless option, or an
// option unknown to both the program and Qt, so that the error is reported
// without a display.
bool needsWindow(const QStringList &arguments);

// A QApplication when the arguments need the window, else a
// QCoreApplication (--help-all gets a QApplication on the display-less
// "minimal" platform, so that it can list Qt's window options).
std::unique_ptr<QCoreApplication> createApplication(int &argc, char **argv);

// Processes the application's arguments with parser: prints the help, the
// version or a parse error and ends the process as QCommandLineParser does.
// Returns false (after a message on standard error) for an argument that is
// not an option, since the program takes none.
bool processCommandLine(QCommandLineParser &parser, const QCoreApplication &application);

// For the runs without a window: message as one line on standard error
// ("handmotion: ...", line breaks turned into spaces); returns status.
int complainOnce(const QString &message, int status);
