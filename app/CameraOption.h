#pragma once

#include <QString>

class QCommandLineParser;

// The --camera option: which camera source the program reads, winning over
// the environment variable HANDMOTION_CAMERA.

// Adds --camera SOURCE to parser, with the sources described for --help.
void addCameraOption(QCommandLineParser &parser);

// Applies the option when it was given, before the main window exists.
// False when its value names no source; error then says why.
bool applyCameraOption(const QCommandLineParser &parser, QString &error);
