#pragma once

#include "algebra/DualQuaternion.h"

#include <QByteArray>
#include <QString>

#include <vector>

// Reading back the key-position export. A file may hold several exports one
// after the other (the export appends); the last one is taken. The reader is
// strict: every line must be exactly as the export writes it (line ends "\n"
// or "\r\n", the last one optional), positions numbered from 1 in both
// places, eight numbers in %g form, each finite, and a real part that is not
// zero. On the first fault it stops and reports "NAME:LINE: what"; nothing
// of the file is then taken.
struct KeyPositionImport {
    // The positions of the last export in the file (possibly none).
    std::vector<DualQuaternion> positions;
    // How many exports the file held.
    int exportCount = 0;
    // Empty when the whole file was read.
    QString error;

    bool ok() const { return error.isEmpty(); }
};

// Hard limits: a larger file, a longer line or more positions in one export
// is refused before anything is built from it.
constexpr qint64 maxKeyPositionFileBytes = 64 * 1024 * 1024;
constexpr int maxKeyPositionLineLength = 4096;
constexpr int maxImportedKeyPositions = 10000;

KeyPositionImport parseKeyPositionExport(const QByteArray &text, const QString &name);
// Reads and parses a file; name in messages is the path as given.
KeyPositionImport readKeyPositionFile(const QString &fileName);
