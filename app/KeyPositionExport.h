#pragma once

#include "algebra/DualQuaternion.h"

#include <QString>

#include <vector>

class QDateTime;

// Writing key positions as the XML-like export text: two header lines, then
// three lines per position with the real and dual parts (x, y, z, w) as %g
// with six significant digits and "." as decimal point in every locale. The
// text looks like XML but is not well-formed; its exact bytes are the format.

// "Dual Quaternion-yyyy_MM_dd-hh_mm_ss" for the given local time.
QString proposedExportFileName(const QDateTime &time);

// A name without a suffix gains ".xml"; "name." has an empty suffix too and
// becomes "name..xml".
QString exportFileNameWithSuffix(const QString &fileName);

// The whole block that one export appends: header lines and every position.
QString keyPositionExportText(const std::vector<DualQuaternion> &positions);

// Appends the block to fileName (created when missing). Returns false with a
// reason in *errorMessage when the file cannot be opened or the write does
// not complete; the file is then cut back to its old length, so an existing
// file keeps exactly its earlier content, and a file the export created is
// removed.
bool appendKeyPositions(const QString &fileName, const std::vector<DualQuaternion> &positions,
    QString *errorMessage = nullptr);
