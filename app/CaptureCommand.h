#pragma once

#include <QStringList>

class QCommandLineParser;

// The capture without a window:
//   handmotion --capture keys|continuous --camera SOURCE [--planar] [--smooth]
//              [--record FILE] [--duration S] --output FILE
// It runs the window's capture (the same rules and glue, no widgets, no
// display) on the frames of one camera source and writes the key positions,
// or the continuous poses, as a key-position export that --export-motion
// --keys reads. Recording runs from the first frame, as if "Start recording"
// had been checked before the source started; the left hand's gesture still
// stops and starts it. A recording (replay:) is read frame by frame as fast
// as it can be, never at its recorded pace; a live source runs until
// --duration has passed or the process gets SIGINT or SIGTERM. Errors are
// one line on standard error, with the statuses of the motion export.

// Whether the program's arguments ask for the capture (so that main() can
// start without a display).
bool wantsCapture(int argc, char **argv);

// The options of the capture that the window takes too (--smooth, --record)
// and those of the capture alone (--capture, --planar). --duration and
// --output belong to the motion export's options, which declare them for
// both.
void addCaptureOptions(QCommandLineParser &parser);

// Parses arguments (the program name first) with the capture's options, the
// camera's, --duration and --output, and runs it; returns the exit status.
int runCaptureCommandLine(const QStringList &arguments);
