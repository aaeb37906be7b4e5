#pragma once

#include <QString>

// Where the program reads its run-time data (the end-effector model). A data
// file is named by its path relative to a data directory, e.g.
// "Object/wrist_smallsize.dat", and looked for in two places, in order:
//   1. the working directory, so that a run from the source tree (or from a
//      folder with a model of the user's own) reads that copy;
//   2. the installed data directory, found from the executable's directory
//      (../share/handmotion in the usual layout), so that an install can be
//      moved as a whole.

// The installed data directory of a program whose executable lies in
// executableDirectory. Not checked for existence.
QString installedDataDirectory(const QString &executableDirectory);

// relativePath itself when the working directory holds it as a readable file
// (kept relative, so that messages name it as the user knows it), else its
// path in the installed data directory when that holds it. When neither
// does, relativePath unchanged: opening it fails and the caller reports the
// file as missing. An empty executableDirectory skips the second place.
QString locateDataFile(const QString &relativePath, const QString &executableDirectory);

// locateDataFile from the directory of this process's executable (none
// before the application object exists).
QString locateDataFile(const QString &relativePath);
