#pragma once

#include <QString>
#include <QStringList>

#include <limits>

class QCommandLineParser;
class QString;

// The motion export without a window:
//   handmotion --export-motion KIND --keys FILE [--degree P] [--density D]
//              [--constant-speed] [--duration S] [--format csv|tum|urscript]
//              [--camera-in-base "p[x,y,z,rx,ry,rz]"] [--output OUT]
// It runs the same export as the window's "Export motion…" and needs no
// display. Errors are one line on standard error and one of the statuses
// below; the output (standard output unless --output names a file, which is
// then replaced atomically) is written only when everything succeeded.

enum MotionExportStatus {
    MotionExportSucceeded = 0,
    // An option is missing or malformed: unknown kind or format, a value
    // that is not a number, a density or duration out of range.
    MotionExportBadArguments = 2,
    // The key-position file cannot be read or does not parse.
    MotionExportBadKeyFile = 3,
    // The motion cannot be computed from these key positions: too few of
    // them, a degree out of range, an interpolation that does not invert.
    MotionExportNoMotion = 4,
    // The output cannot be written.
    MotionExportWriteFailed = 5,
};

// Whether the program's arguments ask for the export (so that main() can
// start without a display).
bool wantsMotionExport(int argc, char **argv);

void addMotionExportOptions(QCommandLineParser &parser);
// --duration and --output, which the capture without a window takes too;
// addMotionExportOptions adds them.
void addDurationAndOutputOptions(QCommandLineParser &parser);
// Reads --duration, when given, into seconds (left alone otherwise); false,
// with the complaint, when it is not a number of seconds above 0 and at most
// maxSeconds.
bool readDuration(const QCommandLineParser &parser, double *seconds, QString *complaint,
    double maxSeconds = std::numeric_limits<double>::infinity());
// The --output file; empty when none was given.
QString outputFile(const QCommandLineParser &parser);
// Runs the export the parsed options ask for; returns the exit status.
int runMotionExport(const QCommandLineParser &parser);

// Parses arguments (the program name first) with the export's options alone
// and runs it.
int runMotionExportCommandLine(const QStringList &arguments);
